#!/bin/bash
# Makes the 21 spoken cues in regione/: the name of every region and the praise
# after a right answer, spoken by the Italian male diphone voice of festival
# (Debian package festvox-itapc16k), trimmed, brought to one loudness, and
# written as 16 kHz mono 16-bit PCM WAV files with a plain 44-byte header.
# How and why: README.md beside this script.
#
# The region names and cue file names come from the region catalogue in
# quiz/regions.cpp, the praise from quiz/regions.h, so the voices always match
# the texts of the game.  Same input, same output bytes.
#
# Usage: tools/voices/make-voices.sh [OUTPUT_FOLDER]     (default: regione/)
# Needs: festival festvox-itapc16k sox, and Debian's /usr/bin/python3.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-$root/regione}

rate=16000   # the header check at the end expects 16000
# Loudness of every cue, as the RMS level of the whole trimmed file in dBFS.
# Lowered for all files alike if one of them would otherwise peak above
# peak_limit: every cue keeps the same loudness and none is clipped.
target_rms=-16
peak_limit=-1
# Within the speech, leading and trailing audio below this level (relative to
# the file's peak) is silence; the burst of a stop consonant at the start of a
# word ("Puglia", "Toscana") lies 15 dB or more above it.
silence_db=-50

for tool in festival sox; do
    command -v "$tool" >/dev/null || { echo "make-voices: $tool is not installed" >&2; exit 1; }
done
[ -d /usr/share/festival/voices/italian/pc_diphone ] ||
    { echo "make-voices: the voice festvox-itapc16k is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- What to say: "file|text" per line, from the catalogue -------------------
# A catalogue row reads {N, u"Name", u"Prompt", u"regione/file.wav", u"Reveal"}.
sed -n 's|^ *{[0-9][0-9]*, u"\([^"]*\)", u"[^"]*", u"regione/\([a-z]*\)\.wav".*|\2\|\1|p' \
    "$root/quiz/regions.cpp" > "$work/cues.txt"
[ "$(wc -l < "$work/cues.txt")" -eq 20 ] ||
    { echo "make-voices: expected 20 regions in quiz/regions.cpp" >&2; exit 1; }
praise_file=$(sed -n 's|.*kPraiseCue = u"regione/\([a-z]*\)\.wav".*|\1|p' "$root/quiz/regions.h")
praise_text=$(sed -n 's|.*kPraiseText = u"\([^"]*\)".*|\1|p' "$root/quiz/regions.h")
[ -n "$praise_file" ] && [ -n "$praise_text" ] ||
    { echo "make-voices: no praise cue in quiz/regions.h" >&2; exit 1; }
# Spoken as an exclamation: "Esatto!" says the same to girls and boys alike.
echo "$praise_file|$praise_text!" >> "$work/cues.txt"

# --- Speak ---------------------------------------------------------------------
# Festival writes each cue with a pause before and after it.  Those pauses come
# from the voice's recordings and hold breaths and clicks as loud as -40 dB, so
# the speech is cut out where festival itself placed it: from the start of the
# first sound to the end of the last, written to times.txt as "file start end".
{
    echo "(voice_pc_diphone)"
    # A little slower than the voice's own pace, for young listeners.
    echo "(Parameter.set 'Duration_Stretch 1.2)"
    # The voice's lexicon splits "Sicilia" into four syllables (si-ci-li-a);
    # it is said si-CI-lia, like "Emilia".
    echo "(lex.select \"italian\")"
    echo "(lex.add.entry '(\"sicilia\" nil (((s i) 0) ((tS i1) 1) ((l j a) 0))))"
    echo "(lex.select \"otherlex\")"
    cat <<'SCHEME'
(define (speak file text)
  (let ((utt (utt.synth (eval (list 'Utterance 'Text text))))
        (first nil) (last nil))
    (mapcar
     (lambda (seg)
       (if (not (string-equal (item.name seg) "#"))
           (begin
             (if (not first) (set! first (item.feat seg 'segment_start)))
             (set! last (item.feat seg 'end)))))
     (utt.relation.items utt 'Segment))
    (utt.save.wave utt (string-append file ".raw.wav") 'riff)
    (format times "%s %.3f %.3f\n" (basename file) first last)))
SCHEME
    echo "(set! times (fopen \"$work/times.txt\" \"w\"))"
    while IFS='|' read -r file text; do
        echo "(speak \"$work/$file\" \"$text\")"
    done < "$work/cues.txt"
    echo "(fclose times)"
} > "$work/speak.scm"
festival --batch "$work/speak.scm"

# --- Repair, trim and measure ---------------------------------------------------
# sox -R: repeatable; -D: no dither (the files must be the same on every run).
sox_f32=(-t f32 -r "$rate" -c 1)
while read -r file start end; do
    "$here/unwrap-overflow.py" "$work/$file.raw.wav" "$work/$file.f32"
    # Keep 10 ms before the first sound and 40 ms after the last (the voice
    # fades out a little after it), then cut what is still silent at both ends,
    # such as the closure before the burst of "Toscana".
    sox -R -D "${sox_f32[@]}" "$work/$file.f32" "${sox_f32[@]}" "$work/$file.trim.f32" \
        trim "$(awk -v s="$start" 'BEGIN { printf "%.3f", s - 0.01 }')" \
             "=$(awk -v e="$end" 'BEGIN { printf "%.3f", e + 0.04 }')" \
        norm -3 \
        silence 1 0.005 "${silence_db}d" reverse \
        silence 1 0.005 "${silence_db}d" reverse
    # One line per cue: file, RMS level, peak level (dBFS).
    sox -R -D "${sox_f32[@]}" "$work/$file.trim.f32" -n stats 2>&1 |
        awk -v f="$file" '/^RMS lev dB/ {r=$4} /^Pk lev dB/ {p=$4} END {print f, r, p}'
done < "$work/times.txt" > "$work/levels.txt"

# --- One loudness for all, then the final files ----------------------------------
level=$(awk -v t="$target_rms" -v l="$peak_limit" \
    '{ if (l - ($3 - $2) < t) t = l - ($3 - $2) } END { printf "%.2f", t }' "$work/levels.txt")
# The last 30 ms fade out: the filter of the voice rings faintly once a word has
# ended.  The first 2 ms fade in, so that no cue starts with a click.
mkdir -p "$out"
while read -r file rms _; do
    gain=$(awk -v a="$level" -v b="$rms" 'BEGIN { printf "%.2f", a - b }')
    sox -R -D "${sox_f32[@]}" "$work/$file.trim.f32" \
        -t wav -e signed-integer -b 16 -c 1 -r "$rate" --comment "" "$out/$file.wav" \
        fade h 0.002 -0 0.03 gain "$gain"
done < "$work/levels.txt"

# --- Check ---------------------------------------------------------------------
# Canonical header: RIFF size, "WAVE", a 16-byte fmt chunk, then data up to the end.
total=0
printf '%-14s %6s %9s %9s\n' file sec "RMS dBFS" "pk dBFS"
while read -r file _; do
    f="$out/$file.wav"
    size=$(stat -c %s "$f")
    header=$(od -A n -t x1 -N 40 "$f" | tr -d ' \n')
    case "$header" in
        52494646????????57415645666d74201000000001000100803e0000007d00000200100064617461) ;;
        *) echo "make-voices: $f has no canonical 16 kHz mono 16-bit header" >&2; exit 1 ;;
    esac
    riff=$(od -A n -t u4 -j 4 -N 4 "$f" | tr -d ' ')
    data=$(od -A n -t u4 -j 40 -N 4 "$f" | tr -d ' ')
    [ $((riff + 8)) -eq "$size" ] && [ $((data + 44)) -eq "$size" ] ||
        { echo "make-voices: $f has sizes that do not match, or chunks after the data" >&2; exit 1; }
    total=$((total + size))
    sox "$f" -n stats 2>&1 | awk -v f="$file.wav" -v n="$data" -v l="$peak_limit" '
        /^RMS lev dB/ {r=$4} /^Pk lev dB/ {p=$4}
        END {printf "%-14s %6.3f %9.2f %9.2f\n", f, n/2/16000, r, p;
             if (p > l + 0.05) { print "make-voices: " f " peaks above the limit" > "/dev/stderr"; exit 1 }}'
done < "$work/levels.txt"
echo "$(wc -l < "$work/levels.txt") files, $total bytes, loudness $level dBFS RMS"
