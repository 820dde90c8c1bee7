# bash completion for rif, the command line of Replace in Files.

_rif() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local options="-e --regex -i --ignore-case --empty-lines -x --ext --name -g --glob --hidden --no-ignore
        --max-depth -L --follow -b --backup --codepage --crlf --dry-run --diff --json --color -q --quiet -v --verbose
        -j --jobs --undo -h --help -V --version"
    COMPREPLY=()
    case $prev in
        -b | --backup | --undo)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --color)
            COMPREPLY=($(compgen -W "auto always never" -- "$cur"))
            return
            ;;
        -x | --ext)
            COMPREPLY=($(compgen -W "txt,hta,htm,html '*'" -- "$cur"))
            return
            ;;
        --codepage)
            COMPREPLY=($(compgen -W "$(iconv -l 2>/dev/null | tr -s ', ' '\n\n' | sed 's|//$||')" -- "$cur"))
            return
            ;;
        --name | -g | --glob | -j | --jobs | --max-depth)
            return  # a value of the user's own
            ;;
    esac
    case $cur in
        --color=*)
            COMPREPLY=($(compgen -P "--color=" -W "auto always never" -- "${cur#--color=}"))
            return
            ;;
        -*)
            # The options; a lone - is also the PATH of standard input.
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
            [[ $cur == - ]] && COMPREPLY+=("-")
            return
            ;;
    esac
    # SEARCH, REPLACEMENT and the PATHs: folders and files.
    COMPREPLY=($(compgen -f -- "$cur"))
}

complete -o filenames -F _rif rif
