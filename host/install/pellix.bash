# Bash completion for pellix: its commands, each command's options, and file names elsewhere.
_pellix() {
  local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
  local commands="analyze listen params demo script convert panel typelib"
  local command="" word
  for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
    case " $commands " in *" $word "*) command=$word; break ;; esac
  done
  case $previous in
    --format) COMPREPLY=($(compgen -W "table json csv" -- "$current")); return ;;
    --plot-format) COMPREPLY=($(compgen -W "svg png pdf" -- "$current")); return ;;
    --plot|--keep) COMPREPLY=($(compgen -d -- "$current")); return ;;
    --sample-format) COMPREPLY=($(compgen -W "s16le f32le" -- "$current")); return ;;
    --device)
      local devices
      devices=$(pellix listen --list-devices 2>/dev/null | sed -E 's/^ *[0-9]+  //; s/  (\[default\]  )?\(.*$//')
      local IFS=$'\n'
      COMPREPLY=($(compgen -W "$devices" -- "$current"))
      return ;;
    --params|--jobs|--rate|--channels|--calibrate|--shortest-pause|--shortest-utterance|\
    --longest-utterance|--quietest-speech|--stall|STRING) return ;;
  esac
  local options
  case $command in
    "") options="--help --version -V $commands" ;;
    analyze) options="--help --params --calibrate --check --profile --fixed-calibration --state
      --format --panel --batch --jobs -o --output --resume -q --quiet --plot --plot-format" ;;
    listen) options="--help - --input --realtime --device --list-devices --rate --channels
      --sample-format --calibrate --state --params --fixed-calibration --format --keep
      --shortest-pause --shortest-utterance --longest-utterance --quietest-speech --stall
      --timings -q --quiet" ;;
    convert) options="--help --rate" ;;
    panel) options="--help --svg" ;;
    *) options="--help" ;;
  esac
  if [[ $current == -* || -z $command ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$current"))
  else
    COMPREPLY=($(compgen -f -- "$current"))
  fi
}
complete -o filenames -F _pellix pellix
