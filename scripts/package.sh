#!/usr/bin/env bash
# Builds both architectures (or reuses the builds already there) and packs
# what a Windows user downloads: $BUILD/package/Pathwick-<version>.zip with
#   README_ja.txt         a short read-me in Japanese (code page 932, CR LF)
#   x64/ and x86/         Quillet.exe, Stowfold.exe and Dovemere.html each
# The build folder is $PATHWICK_BUILD_DIR, by default build/ in the tree.
# No tests are run; scripts/test.sh does that.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
bash scripts/setup.sh

BUILD="${PATHWICK_BUILD_DIR:-$ROOT/build}"
VERSION="$(sed -n 's/^project(Pathwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$VERSION" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
FILES=(Quillet.exe Stowfold.exe Dovemere.html)

# The same configuration as scripts/test.sh, so either script reuses the
# other's build; only the deliverables are built here.
build_arch() {
    local arch=$1 dist=$2 testing=$3
    cmake -S . -B "$BUILD/$arch" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" \
        -DPATHWICK_DIST_DIR="$dist" -DBUILD_TESTING=$testing >/dev/null
    cmake --build "$BUILD/$arch" -j"$(nproc)" --target Quillet Stowfold
}

# Copies one architecture's files, stripped of symbols, and makes sure each
# program is built for the machine its folder names.
stage_arch() {
    local dist=$1 folder=$2 format=$3 toolprefix=$4
    mkdir -p "$folder"
    for f in "${FILES[@]}"; do
        [ -f "$dist/$f" ] || { echo "missing $dist/$f" >&2; exit 1; }
        cp "$dist/$f" "$folder/$f"
    done
    for exe in "$folder"/*.exe; do
        "$toolprefix-strip" --strip-unneeded "$exe"
        "$toolprefix-objdump" -f "$exe" | grep -q "file format $format" \
            || { echo "$exe is not $format" >&2; exit 1; }
    done
    # Each program must load on the oldest Windows its folder is for.
    bash scripts/check_imports.sh "$(basename "$folder")" "$folder"
    [ -s "$folder/Dovemere.html" ] || echo "warning: $folder/Dovemere.html is empty" >&2
}

write_readme() {
    # Notepad on Japanese Windows reads code page 932 with CR LF line ends.
    cat <<EOF | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' > "$1"
Pathwick $VERSION

ショートカットを作る・探す・消すための小さな道具です。

■ 中身
  x64\\   64 ビット版 Windows 用
  x86\\   32 ビット版 Windows 用
  Windows 11 と、64 ビット版の Windows 10/8.1/8/7/Vista/XP では x64 を、
  32 ビット版の Windows（95/98/Me/2000/XP/Vista/7/8/8.1/10）では x86 を
  お使いください（Windows 95 はデスクトップ更新と msvcrt.dll が必要です）。
  64 ビットか 32 ビットかは、Windows 10/11 では
  「設定」→「システム」→「バージョン情報」の「システムの種類」で分かります。
  どちらのフォルダーにも次の 3 つのファイルが入っています。
    Quillet.exe     Pathwick 本体
    Stowfold.exe    インストーラー（最初に一度だけ使います）
    Dovemere.html   説明書

■ インストール
  1. お使いの Windows に合うフォルダー（x64 か x86）を、
     フォルダーごと好きな場所にコピーします。
  2. コピーしたフォルダーの Stowfold.exe を実行します。
     説明書が開き、デスクトップと Quick Launch に
     ショートカットを作るかどうか尋ねられます。
     「はい」で作成します。「いいえ」ではフォルダーが開きます。
  3. 続いて Stowfold.exe は自動的に削除されます。
     以後はショートカットか Quillet.exe から起動してください。

■ アンインストール
  ショートカットとコピーしたフォルダーを削除してください。
  レジストリへの書き込みはありません。
  設定はフォルダー内の Quillet.ini に保存されます。
EOF
}

build_arch x86_64 "$BUILD/dist" ON
build_arch i686 "$BUILD/dist-i686" OFF

PACKAGE="$BUILD/package"
STAGE="$PACKAGE/stage"
ZIP="$PACKAGE/Pathwick-$VERSION.zip"
rm -rf "$STAGE" "$ZIP"
mkdir -p "$STAGE"
stage_arch "$BUILD/dist" "$STAGE/x64" pei-x86-64 x86_64-w64-mingw32
stage_arch "$BUILD/dist-i686" "$STAGE/x86" pei-i386 i686-w64-mingw32
write_readme "$STAGE/README_ja.txt"
# -X leaves out Unix owners and permissions, which mean nothing on Windows.
(cd "$STAGE" && zip -q -X -r "$ZIP" README_ja.txt x64 x86)
rm -rf "$STAGE"
echo "$ZIP"
unzip -l "$ZIP"
