#!/bin/bash
# The bash completion of kantor-cli, called as bash calls it (COMP_WORDS, COMP_CWORD, COMPREPLY).
# Usage: completion_test.sh COMPLETION_SCRIPT KANTOR_CLI
set -u
script=$1 cli=$2
# shellcheck source=/dev/null
source "$script"
failures=0

# Completes the last of the words given; the answer is in COMPREPLY.
complete_words() {
    COMP_WORDS=(kantor-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _kantor_cli
}
offers() {  # offers WORD... -- EXPECTED...: every expected word is offered
    local words=() want
    while [[ $1 != -- ]]; do words+=("$1"); shift; done
    shift
    complete_words "${words[@]}"
    for want in "$@"; do
        if [[ " ${COMPREPLY[*]} " != *" $want "* ]]; then
            echo "FAIL: kantor-cli ${words[*]}<TAB> does not offer '$want' (offers: ${COMPREPLY[*]})"
            failures=$((failures + 1))
        fi
    done
}
lacks() {  # lacks WORD... -- UNWANTED...: none of them is offered
    local words=() bad
    while [[ $1 != -- ]]; do words+=("$1"); shift; done
    shift
    complete_words "${words[@]}"
    for bad in "$@"; do
        if [[ " ${COMPREPLY[*]} " == *" $bad "* ]]; then
            echo "FAIL: kantor-cli ${words[*]}<TAB> offers '$bad' (offers: ${COMPREPLY[*]})"
            failures=$((failures + 1))
        fi
    done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir folder voices
touch song.uta LOUD.UTA take.wav song.mid lyrics.txt alto.vxb alto.vxbprj noext voices/vxb3.vxb voices/MaleVox.vxb \
    song.kar score.musicxml score.mxl

offers re -- render
complete_words re
[[ ${#COMPREPLY[@]} == 1 ]] || { echo "FAIL: 're' offers more than render: ${COMPREPLY[*]}"; failures=$((failures + 1)); }
offers "" -- info pos play render phrase new voice language
offers --l -- --lang
offers render song.uta --l -- --lang
offers --lang "" -- en ja
offers info --lang e -- en
offers --lang en "" -- info render
offers language "" -- en ja
offers render "" -- song.uta LOUD.UTA folder
lacks render "" -- take.wav song.mid lyrics.txt noext
offers render so -- song.uta
lacks render so -- song.mid
offers render song.uta -o "" -- take.wav
lacks render song.uta -o "" -- song.uta
offers new "" -- song.mid
lacks new "" -- song.uta
offers new song.mid -o "" -- song.uta
offers new song.mid -o s.uta --vox 1 --lyrics "" -- lyrics.txt
offers info "" -- song.uta song.mid take.wav alto.vxb
lacks info "" -- lyrics.txt alto.vxbprj
offers pos "" -- song.mid
lacks pos song.mid "" -- song.mid
offers play "" -- song.uta song.mid
offers render song.uta --voice-dir "" -- folder
lacks render song.uta --voice-dir "" -- song.uta
offers voice ex -- export
offers voice import "" -- alto.vxb
lacks voice import "" -- alto.vxbprj song.uta
offers voice build "" -- alto.vxbprj
lacks voice build "" -- alto.vxb
offers voice --voice-dir voices info "" -- vxb3 MaleVox
offers voice --voice-dir voices export vxb3 "" -- alto.vxb
KANTOR_VOICE_DIR=$work/voices offers voice delete v -- vxb3
offers render song.uta --q -- --quality --quiet
offers "" -- lyric wave import export
offers new "" -- song.mid song.kar
offers new song.kar -o s.uta --vox 1 --ly -- --lyrics --lyrics-from-midi
offers import "" -- score.musicxml score.mxl
lacks import "" -- song.mid song.uta
offers import score.mxl --p -- --part
offers export "" -- song.uta
offers export song.uta -o "" -- song.mid
offers export song.uta --c -- --cp932
offers lyric "" -- list add remove
offers lyric add "" -- song.uta
offers wave insert song.uta "" -- take.wav
lacks wave insert song.uta "" -- song.mid
offers wave insert song.uta take.wav --at 0 --replace - -- --copy --force
offers render song.uta --vox-solo 3 - -- --midi-mute
offers render song.uta --formants "" -- keep resample
offers play song.uta --formants k -- keep
lacks render song.uta --formants "" -- song.uta
offers render song.uta --formants keep -o "" -- take.wav
offers "" -- note
offers note "" -- show set add move resize split join delete
offers note add "" -- song.uta
offers note move song.uta --channel 1 --note 5 - -- --by --transpose --key
lacks note add song.uta --key "" -- song.uta
offers new --empty - -- --tempo --time --measures --output
offers note set "" -- song.uta
offers render song.uta --expression "" -- auto off
offers note set song.uta --default "" -- vibrato all
offers note set song.uta --falsetto "" -- on off

# Every option a command's help names is offered after "-".
for command in info pos play render phrase new import export voice "voice list" "voice info" "voice import" "voice export" \
    "voice delete" "voice build" "voice automark" "voice import-bank" "lyric add" "lyric remove" "wave insert" "wave remove" \
    "note show" "note set" "note add" "note move" "note resize" "note split" "note join" "note delete" language; do
    # shellcheck disable=SC2086
    help=$("$cli" $command --help) || { echo "FAIL: kantor-cli $command --help"; failures=$((failures + 1)); }
    options=$(sed -n 's/^  \(-[^ ]*\).*/\1/p' <<<"$help" | tr ',' '\n' | grep -- '^--')
    [[ -n $options ]] || { echo "FAIL: no options found in kantor-cli $command --help"; failures=$((failures + 1)); }
    # shellcheck disable=SC2086
    offers $command - -- $options
done

if ((failures > 0)); then
    echo "$failures failures"
    exit 1
fi
echo "completion: all passed"
