#!/usr/bin/env bash
# Writes a full collection into FOLDER, as a long-time user's folder holds it: 設定.ini with every
# key, 顔文字.ini with all 3400 lines filled (group names and real kaomoji), and AA/ with all 180
# ASCII-art pieces of 20 lines each and their names. Files are cp932 with CR LF, as Windows
# wrote them. Also writes, in UTF-8 beside them for the benchmark itself:
#   FOLDER/bench-lines.txt    the 3400 lines of 顔文字.ini
#   FOLDER/bench-labels.txt   the 40 labels the floor program shows
# usage: make_collection.sh FOLDER [KEY=VALUE...]   ([Options] keys overriding the defaults)
set -euo pipefail
folder=$1
shift

# cp932 with CR LF; iconv fails on any character cp932 lacks, so a bad list cannot slip through.
write_cp932() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$1"; }

KAOMOJI=(
    '(^_^)' '(^o^)' '(*^▽^*)' '(´・ω・｀)' '＼(^o^)／' '(；´Д｀)' 'ヽ(・∀・)ﾉ' '(ﾟДﾟ)' '(´Д｀)'
    '(*´ω｀*)' '(＾ω＾)' '(・∀・)' '( ﾟ∀ﾟ)' '(´；ω；｀)' '(T_T)' '(；_；)' '(>_<)' '(^^;)'
    '(-_-;)' '(゜o゜)' '( ´∀｀)' '(´ー｀)' '(￣ー￣)' '(￣▽￣)' '(・_・)' '(￣□￣;)' 'Σ(ﾟДﾟ)'
    '(*ﾟ∀ﾟ)' 'ヽ(`Д´)ﾉ' '(#ﾟДﾟ)' '(｀・ω・´)' '(＊´∀｀＊)' '(*´▽｀*)' '(￣ω￣)' 'm(_ _)m'
    '(_ _)' 'orz' '(´∀｀*)' 'o(^-^)o' '(^ω^)' '(*^_^*)' '(・ω・)' '(=ﾟωﾟ)ﾉ' '(´＿｀)'
    '(*´з`)' '(^з^)-☆' '☆(ゝω・)v' '(〃▽〃)' '(´ε｀ )' '(｀ε´)' '(#^ω^)' '(ﾉ∀`)' '(ﾉД`)'
    '(つд⊂)' '⊂(・∀・)⊃' '(∩´∀｀)∩' '(*ﾟーﾟ)' '( ^ω^)' '( ´_ゝ｀)' '(´-ω-`)' '(ー_ー)'
    '(ﾟ⊿ﾟ)' '( ・ω・)ﾉ' 'ﾉ(・ω・ )' '(・・;)' '(；ﾟДﾟ)' '(　ﾟдﾟ)' '(*・ω・)ﾉ' '((o(^∇^)o))'
    '(｡･ω･｡)' '(´・ε・`)' 'ヾ(*´∀｀*)ﾉ' '(*ﾉωﾉ)' '(｀・ω・)ゞ' '(゜∀゜)' '(;ﾟДﾟ)' '(;´∀｀)'
    '(´ρ｀)' '(-.-)zzZ' '(´～｀)' '(*´∀｀)ｱﾊﾊ' 'ｷﾀ━(ﾟ∀ﾟ)━!!' '(σ・∀・)σ' '(ｏ´∀｀ｏ)'
    'ヽ(´ー｀)ノ' '(ノ´∀｀*)' '(*^ー^)ﾉ' 'ｍ(＿＿)ｍ' '(￣ヘ￣;)' '(`・ω・´)ｼｬｷｰﾝ' '(´Ａ｀)'
    '(=ﾟωﾟ)' 'ﾍ(ﾟ∀ﾟﾍ)' '(ﾉ≧∀≦)ﾉ' '(≧▽≦)' '(≧ω≦)' '(＞＜)' '(´・∀・`)' '(・ε・)'
)
# Endings people add to a kaomoji; they make the 3400 lines differ as real ones do.
ENDINGS=('' '' '♪' '！' '～' '☆' '…' 'ｗ' '！？' '♪♪' '' 'ﾈ')
GROUP_NAMES=('にこにこ' 'びっくり' 'かなしい' 'おこる' 'てれる' 'あいさつ' 'ありがとう' 'ごめん'
        'よろこぶ' 'ねむい' 'たべる' 'どうぶつ' 'うごき' 'きめ' 'そのた' 'おまけ')
PAGES=('よく使う' 'うれしい' 'かなしい' 'おこる' 'あいさつ' 'どうぶつ' 'きせつ' 'ともだち' 'しごと' '履歴')
AA_NAMES=('ねこ' 'モナー' 'ギコ' 'しぃ' 'おにぎり' 'ショボーン' 'やる夫' 'ぃょぅ' 'もう' 'ﾓﾅｰ'
          'ながら' 'ねこ手' 'ほっけ' 'くま' 'うさぎ' 'いぬ' 'とり' 'はな' 'ほし' 'おわり')

# kaomoji INDEX: sets km to a kaomoji with an ending (a variable, not output: no subshell for
# each of the thousands of lines).
kaomoji() {
    local i=$1 n=${#KAOMOJI[@]}
    km=${KAOMOJI[i % n]}${ENDINGS[(i / n) % ${#ENDINGS[@]}]}
}

mkdir -p "$folder/AA"

# 顔文字.ini: line p*340 + r*20 + s + 1 is page p, row r, slot s; row 0 holds the group names.
lines=$folder/bench-lines.txt
{
    for ((p = 0; p < 10; p++)); do
        for ((s = 0; s < 20; s++)); do
            if ((s < 16)); then
                printf '%s\n' "${GROUP_NAMES[s]}"
            else
                printf '%s%d\n' 'メモ' "$((p * 4 + s - 15))"
            fi
        done
        for ((r = 1; r < 17; r++)); do
            for ((s = 0; s < 20; s++)); do
                kaomoji $((p * 320 + (r - 1) * 20 + s))
                printf '%s\n' "$km"
            done
        done
    done
} >"$lines"
[ "$(wc -l <"$lines")" -eq 3400 ] || { echo "make_collection: not 3400 lines" >&2; exit 1; }
write_cp932 "$folder/顔文字.ini" <"$lines"

# 設定.ini: every key the program keeps.
declare -A options=([Check0]=1 [Check1]=1 [Check2]=1 [Check3]=0 [Check4]=1 [Check5]=0 [Check6]=1
                    [Check7]=1 [Check8]=0 [Check9]=0 [PageNumber]=0 [DoubleClick]=1 [Time]=2)
for kv in "$@"; do
    options[${kv%%=*}]=${kv#*=}
done
{
    echo '[Options]'
    for key in Check0 Check1 Check2 Check3 Check4 Check5 Check6 Check7 Check8 Check9 PageNumber DoubleClick Time; do
        echo "$key=${options[$key]}"
    done
    echo '[ColorOptions]'
    echo 'Color1=12648384'
    echo 'Color2=16761087'
    echo 'Color3=16777088'
    echo 'ToolTipBackColor=11829860'
    echo 'ToolTipFontColor=16777215'
    echo '[Form]'
    echo 'Form1Left=1500'
    echo 'Form1Top=1200'
    echo 'Form1Width=5100'
    echo 'Form2Left=9000'
    echo 'Form2Top=1500'
    echo '[MouseOptions]'
    echo 'MouseX=10000'
    echo 'MouseXX=10000'
    echo 'MouseY=10000'
    echo 'MouseYY=10000'
    echo '[PageName]'
    for ((p = 0; p < 10; p++)); do
        echo "Page$((p + 1))=${PAGES[p]}"
    done
} | write_cp932 "$folder/設定.ini"

# AA/: nine pages of twenty pieces, twenty lines each, and their names.
{
    for ((page = 1; page <= 9; page++)); do
        echo "[Page$page]"
        for ((e = 0; e < 20; e++)); do
            echo "Name_$e=${AA_NAMES[e]}$page"
        done
    done
    echo '[Options]'
    echo 'FrontLine=1'
    echo 'BackLine=1'
    echo '[ToolTipOptions]'
    echo 'Display=1'
} | write_cp932 "$folder/AA/AAOptions.ini"

aa_piece() { # page entry: 20 lines
    local page=$1 entry=$2 k left
    printf '%s\n' \
        '　　　　　 ∧＿∧' \
        "　　　　　（　´∀｀）＜　${AA_NAMES[entry]}です（ページ$page）" \
        '　　　　　（　　　　）' \
        '　　　　　｜ ｜　|' \
        '　　　　　（_＿）＿）' \
        '　　　　　　　　　　　　　　　 ∧＿∧' \
        '　　　　　　　　　　　　　　　（ ´・ω・）　　まったり' \
        '　　　　　　　　　　　　　　　（つ　　と）' \
        '　　　　　　　　　　　　　　　 ｕ―ｕ'
    for ((k = 0; k < 11; k++)); do
        kaomoji $((page * 400 + entry * 20 + k))
        left=$km
        kaomoji $((entry + k * 7))
        printf '%s\n' "　$left　＿＿＿＿＿＿＿＿＿＿＿　$km"
    done
}
# All 180 pieces go through one conversion, each after a marker line naming its file; awk then
# splits the cp932 bytes into the files (two processes instead of hundreds).
for ((page = 1; page <= 9; page++)); do
    for ((e = 0; e < 20; e++)); do
        printf '@@FILE %s\n' "$(printf 'AAText_%d_%02d.txt' "$page" "$e")"
        aa_piece "$page" "$e"
    done
done | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 |
    LC_ALL=C awk -v dir="$folder/AA" '
        /^@@FILE / { if (out) close(out); name = substr($0, 8); sub(/\r$/, "", name); out = dir "/" name; next }
        { printf "%s\n", $0 > out }'

# The floor's 40 labels: the start page's 16 group names, the 20 kaomoji of its first group,
# and the four captions the palette shows besides.
{
    sed -n '1,16p;21,40p' "$lines"
    printf '%s\n' 'AA' '設定' '終了' '2024/01/01  12:00:00'
} >"$folder/bench-labels.txt"
