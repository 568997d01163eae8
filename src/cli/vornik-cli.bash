# bash completion for vornik-cli                           -*- shell-script -*-
#
# Installed as share/bash-completion/completions/vornik-cli, where
# bash-completion loads it the first time vornik-cli is completed. Offers
# the commands, each command's options, disk images (any case of .dsk,
# .dmk, .jv1, .jv3) where an image goes, folders after extract -o and
# SVG files after map -o.

_vornik_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    # The command is the first word that is not an option.
    local command='' i=1
    while ((i < cword)); do
        case ${words[i]} in
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
        ((i++))
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W 'info list extract check map' -- "$cur"))
        fi
        return
    fi

    local options
    case $command in
        info) options='--help' ;;
        list | check) options='--json --help' ;;
        extract) options='--all --exact --force -o --output --help' ;;
        map) options='-o --output --help' ;;
        *) return ;; # not a command vornik-cli knows
    esac

    if [[ $command == @(extract|map) && $prev == @(-o|--output) ]]; then
        if [[ $command == extract ]]; then
            _filedir -d
        else
            _filedir '@(svg|SVG)'
        fi
        return
    fi
    $split && return # --option=value of an option that takes none

    # Count the operands before the word being completed; after "--" every
    # word is one.
    local operands=0 marker='' j
    for ((j = i + 1; j < cword; j++)); do
        if [[ -n $marker ]]; then
            ((operands++))
            continue
        fi
        case ${words[j]} in
            --) marker=yes ;;
            -o | --output) [[ $command == @(extract|map) ]] && ((j++)) ;;
            -*) ;;
            *) ((operands++)) ;;
        esac
    done

    if [[ -z $marker && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # extract takes one image, then names on the disk; map one image.
    if [[ $command == @(extract|map) ]] && ((operands > 0)); then
        return
    fi
    # The image names vornik-cli reads, as an extglob suffix.
    _filedir '@([dD][sS][kK]|[dD][mM][kK]|[jJ][vV][13])'
} &&
    complete -F _vornik_cli vornik-cli

# ex: filetype=sh
