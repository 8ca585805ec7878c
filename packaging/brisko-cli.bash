# bash completion for brisko-cli. The commands and options come from the
# program's own --help, so they are never out of date.

_brisko_cli_words() {
  # $1: the command ("" for the global options); prints "commands|options".
  local help
  help=$(brisko-cli ${1:+"$1"} --help 2>/dev/null) || return
  local commands options
  commands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }')
  options=$(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u)
  printf '%s|%s' "$(tr '\n' ' ' <<<"$commands")" "$(tr '\n' ' ' <<<"$options")"
}

_brisko_cli() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}

  case $prev in
    --model | --simulate)
      COMPREPLY=($(compgen -W "KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580" -- "$cur"))
      return ;;
    --mode | --sim-mode)
      COMPREPLY=($(compgen -W "internal external" -- "$cur"))
      return ;;
    --bank)
      COMPREPLY=($(compgen -W "low high" -- "$cur"))
      return ;;
    --baud)
      COMPREPLY=($(compgen -W "38400 19200 9600 4800 2400 1200 600" -- "$cur"))
      return ;;
    --sim-loader)
      COMPREPLY=($(compgen -W "1.1F 1.1E" -- "$cur"))
      return ;;
    --port)
      COMPREPLY=($(compgen -W "$(ls /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* 2>/dev/null)" -- "$cur"))
      return ;;
    --trace)
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
  esac

  # The first word that is a command, skipping options and their values.
  local global command="" i words
  global=$(_brisko_cli_words "")
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ " ${global%%|*} " == *" ${COMP_WORDS[i]} "* ]]; then
      command=${COMP_WORDS[i]}
      break
    fi
  done

  if [[ $cur == -* ]]; then
    words=${global#*|}
    [[ -n $command ]] && words="$words $(_brisko_cli_words "$command" | cut -d'|' -f2)"
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
  elif [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "${global%%|*}" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))  # image files, save targets
  fi
}

complete -o filenames -F _brisko_cli brisko-cli
