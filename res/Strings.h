// The program's own Japanese texts (UTF-8 in the source). These are messages of
// the user interface, never stored or sent; front ends convert them to show.
#pragma once

namespace strings {
inline constexpr const char kSocketInitFailed[] = "Windows ｿｹｯﾄの初期化に失敗しました。";
inline constexpr const char kSocketCreateFailed[] = "ソケットの作成に失敗しました。";
inline constexpr const char kEntryPointConnectFailed[] =
    "エントリーポイントへの接続に失敗しました。";
inline constexpr const char kNotConnected[] = "pelmarnet に接続されていません。";
inline constexpr const char kNoThreadData[] =
    "データの存在しないスレッドにはレスをつけることはできません。";
inline constexpr const char kConfirmDelete[] = "選択されたスレッドを削除します。\nよろしいですか？";
inline constexpr const char kDirectoryCreateFailed[] = "ディレクトリの作成に失敗しました。";
inline constexpr const char kFileCreateFailed[] = "ファイルの作成に失敗しました。";
inline constexpr const char kResReadFailed[] = "レスファイルの読み込みに失敗しました。";
inline constexpr const char kCategoryOpenFailed[] = "カテゴリのオープンに失敗しました。";
inline constexpr const char kCategoryFileError[] = "カテゴリファイルにエラーが発生しました。";
// %1 is the field's limit in bytes.
inline constexpr const char kTooLong[] = "%1 文字以内で入力してください。";
// Status line notes (the desktop's first status pane).
inline constexpr const char kConnectFailedNote[] = "接続できませんでした: ";
inline constexpr const char kNoHolderNote[] = "スレッドを持つノードが見つかりませんでした。";
inline constexpr const char kUserAgent[] = "pelmar servent/0.1.2";
} // namespace strings
