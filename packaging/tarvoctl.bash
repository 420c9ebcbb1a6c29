# bash completion for tarvoctl: commands, their options and the connection options.
_tarvoctl() {
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    local commands="read write upload export import diff scan scope watch state enable disable
        quickstop fault-reset move jog ports dict help"
    local connection="--port --baud --can --bitrate --node --timeout --trace --folder"

    case $prev in
    --folder)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --port)
        local ports
        ports=$(cd /dev 2>/dev/null && ls -d ttyUSB* ttyACM* ttyS* 2>/dev/null)
        COMPREPLY=($(compgen -W "$ports" -- "$cur"))
        return
        ;;
    --bitrate)
        COMPREPLY=($(compgen -W "1000k 500k 250k 125k 100k 50k 20k" -- "$cur"))
        return
        ;;
    --baud)
        COMPREPLY=($(compgen -W "9600 19200 38400 57600 115200" -- "$cur"))
        return
        ;;
    --lang)
        COMPREPLY=($(compgen -W "1 2" -- "$cur"))
        return
        ;;
    --width)
        COMPREPLY=($(compgen -W "8 16 32" -- "$cur"))
        return
        ;;
    --edge)
        COMPREPLY=($(compgen -W "0 1" -- "$cur"))
        return
        ;;
    --trace | --record | --csv | --table | --dcf | --eds | -o | --source)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --node | --timeout | --unit | --channel | --trigger | --level | --period | --pretrigger | \
        --total | --wait | --nodes | --interval | --count | --for | --position | --velocity | \
        --within)
        return
        ;;
    esac

    local command="" word
    for word in "${words[@]:1:cword-1}"; do
        case " $commands " in
        *" $word "*)
            command=$word
            break
            ;;
        esac
    done

    local options=""
    case $command in
    read) options="--raw --unit --json --lang" ;;
    write) options="--width --unit" ;;
    import) options="--changed-only --store --reboot --discard" ;;
    export) options="--dcf" ;;
    scan) options="--nodes" ;;
    watch) options="--interval --count --for --csv --json" ;;
    state) options="--json" ;;
    enable | disable | quickstop | fault-reset) options="--within" ;;
    move) options="--position --relative --velocity --wait --within" ;;
    jog) options="--velocity --for" ;;
    scope)
        options="--channel --trigger --level --edge --period --pretrigger --total --record
            --csv --table --wait"
        ;;
    dict) options="--json --lang --eds -o --source" ;;
    "")
        if [[ $cur != -* ]]; then
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            return
        fi
        options="--help --version"
        ;;
    esac
    if [[ $command == dict && $cur != -* ]] && [[ ${words[cword-1]} == dict ]]; then
        COMPREPLY=($(compgen -W "build dump find eds" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $connection" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _tarvoctl tarvoctl
