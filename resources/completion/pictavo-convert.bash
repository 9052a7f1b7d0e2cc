# bash completion for pictavo-convert
# shellcheck shell=bash disable=SC2034,SC2207
# (words and cword are set by _init_completion; COMPREPLY=($(compgen ...)) is
# the bash-completion idiom, its words never hold spaces here)

_pictavo_convert() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -t | --type)
            COMPREPLY=($(compgen -W 'jpg png tiff bmp gif pdf' -- "$cur"))
            return
            ;;
        -c | --compression)
            COMPREPLY=($(compgen -W 'none g3 g4 lzw packbits' -- "$cur"))
            return
            ;;
        -q | --quality)
            COMPREPLY=($(compgen -W '0 1 2 3 4 5 6 7 8 9 10' -- "$cur"))
            return
            ;;
        -z | --leading-zeros)
            COMPREPLY=($(compgen -W '0 1 2 3 4 5 6 7 8 9' -- "$cur"))
            return
            ;;
        -s | --separator | -j | --jobs | -h | --help | --version)
            return
            ;;
        -o | --output | --mirror | --log-dir)
            _filedir -d
            return
            ;;
        -l | --list)
            _filedir
            return
            ;;
    esac

    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-t --type -q --quality -c --compression --split
            -s --separator -z --leading-zeros -o --output --mirror --skip-existing
            -j --jobs -r --recursive -l --list --log-dir --quiet -h --help
            --version' -- "$cur"))
        return
    fi

    # Sources: TIFF files (bash-completion adds the upper-case extensions) and
    # folders.
    _filedir '@(tif|tiff)'
} &&
    complete -F _pictavo_convert pictavo-convert
