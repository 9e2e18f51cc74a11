// The demo's sample threads and their conversion to CP932 (glibc iconv, the
// same "CP932" table the desktop uses). Any thread.
#include "SampleThreads.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

const std::vector<CSampleThread>& SampleThreads() {
    static const std::vector<CSampleThread> kThreads = {
        {"ニュース",
         "今朝の初雪、見ましたか",
         "名無しさん",
         "うちの方では朝起きたら屋根が真っ白でした。\n皆さんのところはどうですか？",
         30,
         {{"北の住人", "", "こちらは3センチくらい積もっています。", 12},
          {"名無しさん", "sage", "雨でした……。", 40},
          {"通勤者", "", "電車が少し遅れていました。足元に気をつけて。", 95}}},
        {"プログラミング",
         "C++20 のコルーチン、使ってる？",
         "ねこ",
         "co_await "
         "を本番のコードで使っている人はいますか。\nデバッグのしやすさが気になっています。",
         20,
         {{"いぬ", "", "ネットワークまわりで少し使っています。\nスタックトレースは読みにくいです。",
           25},
          {"ねこ", "", "やっぱりそうですか。ログを多めに出すようにします。", 70}}},
        {"ニュース",
         "駅前の図書館が新しくなりました",
         "本好き",
         "今日から新しい建物で開館しています。\n閲覧席が倍くらいに増えていました。",
         26,
         {{"名無しさん", "", "自習室は予約制になったみたいですね。", 30},
          {"本好き", "", "カフェも入っていました。", 65},
          {"学生", "", "土日も夜まで開いているのがうれしい。", 180}}},
        {"音楽",
         "作業中に聴いている曲",
         "名無しさん",
         "集中したいときに聴いている曲を教えてください。\n歌のないものが好きです。",
         12,
         {{"ピアノ弾き", "", "ピアノの練習曲集をよく流しています。", 8},
          {"名無しさん", "", "雨の音だけ、という人もいますよ。", 55}}},
        {"ニュース",
         "週末の天気",
         "空を見る人",
         "土曜日は晴れ、日曜日は午後から雨の予報です。",
         6,
         {{"名無しさん", "", "洗濯は土曜日に済ませます。", 15},
          {"山歩き", "", "日曜の山は早めに下りたほうがよさそうですね。", 42}}},
        {"質問",
         "はじめまして、使い方を教えてください",
         "はじめて",
         "このノードを入れてみました。\nスレッドはどうやって読むのですか？",
         3,
         {{"案内係", "",
           "まず「接続」でほかのノードにつなぎます。\n"
           "次に「スレッドリスト更新」を押すと、カテゴリのスレッドが並びます。",
           10},
          {"案内係", "",
           "稲妻のアイコンはまだ手元にないスレッドです。\n"
           "ダブルクリックすると取得できます。",
           12},
          {"はじめて", "", "読めました！ ありがとうございます。", 30}}},
    };
    return kThreads;
}

const CSampleThread& LiveSampleThread() {
    static const CSampleThread kThread = {
        "テスト",
        "つながりました",
        "デモの投稿者",
        "このスレッドは、ノードが参加したあとに投稿されました。",
        0,
        {{"デモの投稿者", "", "ほかのノードから取得できれば成功です。", 0}}};
    return kThread;
}

std::optional<std::string> ToCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string output;
    std::vector<char> buffer(utf8.size() * 2 + 16);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    bool ok = true;
    while (inLeft > 0) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return output;
}
