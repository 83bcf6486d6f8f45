# bash completion for rigwright-batch and tarnview-replay, installed under
# both names so that bash-completion finds it for either program.

# _tarn_complete_files EXT CUR: folders and files named *.EXT in any letter
# case, since exports made on Windows often end in .ASE. An empty EXT takes
# every file; "/" takes folders only.
_tarn_complete_files()
{
    local ext=$1 cur=$2 pattern= c line
    if [ -n "$ext" ] && [ "$ext" != / ]; then
        pattern='!*.'
        for ((c = 0; c < ${#ext}; c++)); do
            line=${ext:c:1}
            pattern+="[${line,}${line^}]"
        done
    fi
    compopt -o filenames 2>/dev/null
    while IFS= read -r line; do COMPREPLY+=("$line"); done < <(compgen -d -- "$cur")
    [ "$ext" = / ] && return
    while IFS= read -r line; do
        [ -d "$line" ] || COMPREPLY+=("$line")
    done < <(compgen -f ${pattern:+-X "$pattern"} -- "$cur")
}

# rigwright-batch: the command, then the files of that command in their
# order, offering only names with the extension each position takes.
_rigwright_batch()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local -a order
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W 'mesh physique motion character-mesh chr check gltf --help --version' -- "$cur"))
        return
    fi
    case ${COMP_WORDS[1]} in
        mesh)
            if [ "$prev" = -C ]; then
                _tarn_complete_files / "$cur"
            elif [ "$COMP_CWORD" -eq 2 ]; then
                _tarn_complete_files ase "$cur"
            elif [ "$COMP_CWORD" -eq 3 ]; then
                COMPREPLY=($(compgen -W '-C' -- "$cur"))
            fi
            return ;;
        physique) order=(ase mpd) ;;
        motion) order=(ase mca) ;;
        character-mesh) order=(ase mcm) ;;
        chr) order=(ase mpd mca bmp chr) ;;
        check)
            # Any number of files of the five kinds it reads.
            local ext
            for ext in t3m mpd mca chr mcm; do _tarn_complete_files $ext "$cur"; done
            local IFS=$'\n'
            COMPREPLY=($(printf '%s\n' "${COMPREPLY[@]}" | sort -u))
            return ;;
        gltf) order=(chr glb) ;;
        *) return ;;
    esac
    local index=$((COMP_CWORD - 2))
    [ "$index" -lt "${#order[@]}" ] && _tarn_complete_files "${order[index]}" "$cur"
}
complete -F _rigwright_batch rigwright-batch

# tarnview-replay: its options, after each option what it takes, and the
# world's folder where a word does not start with a dash.
_tarnview_replay()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $prev in
        --input) _tarn_complete_files '' "$cur"; return ;;
        --shot) _tarn_complete_files png "$cur"; return ;;
        --export) _tarn_complete_files glb "$cur"; return ;;
        --shots) _tarn_complete_files / "$cur"; return ;;
        --clock)
            COMPREPLY=($(compgen -W 'real virtual virtual:16' -- "$cur"))
            return ;;
        --frames | --every) return ;;
    esac
    if [ "${cur:0:1}" != - ]; then
        _tarn_complete_files / "$cur"
        return
    fi
    COMPREPLY=($(compgen -W '--frames --input --shot --shots --every --clock --stats --export --unlit --help --version' -- "$cur"))
}
complete -F _tarnview_replay tarnview-replay
