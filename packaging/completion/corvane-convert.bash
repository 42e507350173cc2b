# SPDX-License-Identifier: Apache-2.0
# Bash completion of corvane-convert: its options (from its own --help),
# format ids after --to and --from (from --list-formats), the words of
# --preset, --conventions and --camera, and files everywhere else.
_corvane_convert()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]}
    case $prev in
        --to|--from)
            COMPREPLY=($(compgen -W "$("$program" --list-formats 2>/dev/null | cut -d' ' -f1)" -- "$cur"))
            return ;;
        --preset)
            COMPREPLY=($(compgen -W "default top-left bottom-left x2 x4 half quarter normalized center" -- "$cur"))
            return ;;
        --conventions)
            COMPREPLY=($(compgen -W "program file" -- "$cur"))
            return ;;
        --camera)
            COMPREPLY=($(compgen -W "primary secondary all" -- "$cur"))
            return ;;
        -o|--output|--rename-file)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --plate|--par|--first-frame|-j|--jobs|--corners|--rename|--prefix|--suffix|--slip|\
        --start-at|--trim|--drop-before|--shift|--scale|--reformat|--crop|--pad|--min-keys|\
        --lens-distort|--lens-undistort)
            return ;; # a value of the user's
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$("$program" --help 2>/dev/null | grep -oE -- '--[a-z][a-z-]*' | sort -u)" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _corvane_convert corvane-convert
