#include "manual/manual_pages.h"

#include <algorithm>

namespace kestrane::manual {

namespace {

// A page's English heading and subtitle, by page number.
struct EnglishPage {
    int page;
    const char* title;
    const char* subtitle = "";
};

struct EnglishBook {
    const char* fileName;
    const char* title;
    std::vector<EnglishPage> pages;
};

const EnglishBook kQuellornEnglish{
    "Quellorn_Manual_en.pdf",
    "Kestrane Reference Manual",
    {
        {1, "RS-232C Line Monitor and Terminal Ver1.91"},
        {2, "Contents"},
        {3, "About this manual"},
        {4, "What Kestrane does"},
        {5, "The main window"},
        {6, "Starting up"},
        {7, "Exit and the settings files"},
        {8, "COM numbers and devices"},
        {9, "Trying it with the demo instrument"},
        {10, "The File menu"},
        {11, "The View menu"},
        {12, "The Send menu"},
        {13, "The Settings menu"},
        {14, "The Help menu and the menu bar"},
        {15, "Using CH2"},
        {16, "Line monitor (T connection)"},
        {17, "Line monitor (relay)"},
        {18, "The traffic buffer"},
        {19, "ASC display"},
        {20, "HEX display"},
        {21, "Time-stamped ASC display"},
        {22, "Slow and fast display"},
        {23, "Inspecting characters"},
        {24, "Search", "Dialog 721   View → Search"},
        {25, "String list", "Dialog 723   press the right button on the display and select a range"},
        {26, "Moving, redisplaying and clearing the display"},
        {27, "Saving and loading log files"},
        {28, "Automatic logging"},
        {29, "Printing"},
        {30, "Display settings", "Dialog 705   View → Display Mode"},
        {31, "Sending: an overview"},
        {32, "The hex send notation"},
        {33, "ASC sending"},
        {34, "How a frame is built"},
        {35, "Computing checksums"},
        {36, "Checksum settings", "Dialog 724   Settings → Checksum, and Details in the send dialogs"},
        {37, "Send characters (typed)", "Dialog 708   Send → Send Typed"},
        {38, "Send characters (long)", "Dialog 701   Send → Send Long"},
        {39, "Send characters (stored)", "Dialog 712   Send → Send Stored"},
        {40, "The fixed strings file mdata.txt"},
        {41, "Send control characters", "Dialog 20   Send → Send Control Characters"},
        {42, "Run macro", "Dialog 704   Send → Run Macro"},
        {43, "Macro clock", "Dialog 722   clock in the Run macro dialog"},
        {44, "The macro language (1): writing, sending, receiving"},
        {45, "The macro language (2): registers, buttons, bits"},
        {46, "DIO Moniter Dialog", "Dialog 409   Send → IO Moniter"},
        {47, "Text file transfer"},
        {48, "Macro examples and macro files"},
        {49, "Com Port Setting", "Dialog 703   Settings → COM Ports"},
        {50, "Serial settings", "Settings → Serial → CH1 / CH2"},
        {51, "Details", "Dialog 718   Details in Com Port Setting"},
        {52, "DCB settings (CH1)", "Dialog 711   Settings → DCB → CH1"},
        {53, "DCB settings (CH2)", "Dialog 711   Settings → DCB → CH2"},
        {54, "Line status", "Dialog 717   Settings → Line Status → CH1 / CH2"},
        {55, "Inputs (CH1, CH2)", "Dialog 25   Settings → Line Status → CH1/2"},
        {56, "Dio Port Setting", "Dialog 702   Settings → DIO Port (not opened from the menu)"},
        {57, "Sampling: an overview"},
        {58, "Sampling settings",
         "Dialog 715   Settings → Sampling   /   Dialog 716   View → Sampling"},
        {59, "Auto logging", "Dialog 719   Settings → Auto Logging"},
        {60, "Other settings", "Dialog 713   Settings → Other Settings"},
        {61, "The PDF reader"},
        {62, "Window size at start", "Dialog 714   Settings → Window → Size at Start"},
        {63, "PL Setting", "Dialog 707   Settings → Window → Display"},
        {64, "About", "Dialog 706   Help → About"},
        {65, "Companion programs"},
        {66, "Messages and troubleshooting"},
        {67, "Lines on another machine (RFC 2217, ser2net)"},
        {68, "Line Events", "View → Line Events"},
    },
};

const EnglishBook kKestraneEnglish{
    "Kestrane_Manual_en.pdf",
    "Kestrane User's Guide",
    {
        {1, "RS-232C Line Monitor and Terminal Ver1.91"},
        {2, "Contents"},
        {3, "What Kestrane is"},
        {4, "Installing and starting"},
        {5, "Trying it with the demo instrument"},
        {6, "Connecting a serial port"},
        {7, "Lines on another machine (RFC 2217, ser2net)"},
        {8, "The main window"},
        {9, "Sending characters"},
        {10, "Monitoring a line"},
        {11, "Keeping records"},
        {12, "Automating with macros"},
        {13, "Companion programs"},
        {14, "The character table glimra"},
        {15, "The reference manual and the help buttons"},
        {16, "Messages and troubleshooting"},
    },
};

// The book with its English names: every page keeps its number, pictures and text's path (below
// en/); a page the English table lacks keeps an empty title, which make_manual refuses.
ManualBook inEnglish(ManualBook book, const EnglishBook& english)
{
    book.fileName = QString::fromUtf8(english.fileName);
    book.title = QString::fromUtf8(english.title);
    for (ManualPage& page : book.pages) {
        const auto it = std::find_if(english.pages.begin(), english.pages.end(),
                                     [&](const EnglishPage& e) { return e.page == page.page; });
        page.title = it == english.pages.end() ? QString() : QString::fromUtf8(it->title);
        page.subtitle = it == english.pages.end() ? QString() : QString::fromUtf8(it->subtitle);
        if (!page.source.startsWith(QLatin1Char('@')))
            page.source = QStringLiteral("en/") + page.source;
    }
    return book;
}

} // namespace

// Quellorn_Manual.pdf: the reference the help buttons open. A dialog's page carries its title as
// the heading; the help buttons name pages 30, 37, 39, 42, 46, 49, 50, 51, 52, 53, 56, 58, 59, 62
// and 63, which must stay where they are.
ManualBook quellornManual(i18n::Language language)
{
    ManualBook book{
        QStringLiteral("Quellorn_Manual.pdf"),
        QStringLiteral("Kestrane 詳細説明書"),
        {
            {1, QStringLiteral("RS-232C ラインモニタ・ターミナル Ver1.91"), QStringLiteral("@cover")},
            {2, QStringLiteral("目次"), QStringLiteral("@contents")},
            {3, QStringLiteral("この説明書について"), QStringLiteral("quellorn/03-about-this-manual.md")},
            {4, QStringLiteral("Kestraneでできること"), QStringLiteral("quellorn/04-what-it-does.md")},
            {5, QStringLiteral("画面の構成"), QStringLiteral("quellorn/05-main-window.md"), {QStringLiteral("main")}},
            {6, QStringLiteral("起動の流れ"), QStringLiteral("quellorn/06-start-up.md")},
            {7, QStringLiteral("終了と設定ファイル"), QStringLiteral("quellorn/07-exit-and-settings-files.md")},
            {8, QStringLiteral("COM番号とデバイス"), QStringLiteral("quellorn/08-com-numbers.md")},
            {9, QStringLiteral("デモ機器で試す"), QStringLiteral("quellorn/09-demo.md")},
            {10, QStringLiteral("ﾌｧｲﾙ(&F)メニュー"), QStringLiteral("quellorn/10-menu-file.md")},
            {11, QStringLiteral("表示(&V)メニュー"), QStringLiteral("quellorn/11-menu-view.md")},
            {12, QStringLiteral("送信(&S)メニュー"), QStringLiteral("quellorn/12-menu-send.md")},
            {13, QStringLiteral("環境設定(&K)メニュー"), QStringLiteral("quellorn/13-menu-settings.md")},
            {14, QStringLiteral("ﾍﾙﾌﾟ(&H)メニューとメニューバー"), QStringLiteral("quellorn/14-menu-help.md")},
            {15, QStringLiteral("CH2の使い方"), QStringLiteral("quellorn/15-ch2-modes.md")},
            {16, QStringLiteral("ラインモニタ（Ｔ接続）"), QStringLiteral("quellorn/16-monitor-t.md")},
            {17, QStringLiteral("ラインモニタ（中継）"), QStringLiteral("quellorn/17-monitor-relay.md")},
            {18, QStringLiteral("トラフィックバッファ"), QStringLiteral("quellorn/18-traffic-buffer.md")},
            {19, QStringLiteral("ASC表示"), QStringLiteral("quellorn/19-asc-display.md")},
            {20, QStringLiteral("HEX表示"), QStringLiteral("quellorn/20-hex-display.md")},
            {21, QStringLiteral("時刻付きASC表示"), QStringLiteral("quellorn/21-time-stamped-display.md")},
            {22, QStringLiteral("低速表示と高速表示"), QStringLiteral("quellorn/22-display-speed.md")},
            {23, QStringLiteral("文字の確認"), QStringLiteral("quellorn/23-character-inspection.md")},
            {24, QStringLiteral("検索"), QStringLiteral("quellorn/24-search.md"), {QStringLiteral("721")},
             QStringLiteral("ダイアログ 721　表示(&V) → 検索(&H)")},
            {25, QStringLiteral("文字列列挙"), QStringLiteral("quellorn/25-enumeration.md"), {QStringLiteral("723")},
             QStringLiteral("ダイアログ 723　表示の上で右ボタンを押して範囲を選ぶ")},
            {26, QStringLiteral("行の移動・再表示・表示クリア"), QStringLiteral("quellorn/26-view-commands.md")},
            {27, QStringLiteral("ログファイルの保存と読出"), QStringLiteral("quellorn/27-log-files.md")},
            {28, QStringLiteral("自動ロギング"), QStringLiteral("quellorn/28-auto-logging.md")},
            {29, QStringLiteral("印刷"), QStringLiteral("quellorn/29-printing.md")},
            {30, QStringLiteral("表示設定"), QStringLiteral("quellorn/30-dialog-705.md"), {QStringLiteral("705")},
             QStringLiteral("ダイアログ 705　表示(&V) → 表示切替(&L)")},
            {31, QStringLiteral("送信の概要"), QStringLiteral("quellorn/31-sending.md")},
            {32, QStringLiteral("16進送信表記"), QStringLiteral("quellorn/32-hex-notation.md")},
            {33, QStringLiteral("ASC送信"), QStringLiteral("quellorn/33-asc-form.md")},
            {34, QStringLiteral("フレームの構成"), QStringLiteral("quellorn/34-frame.md")},
            {35, QStringLiteral("チェックサムの計算"), QStringLiteral("quellorn/35-checksums.md")},
            {36, QStringLiteral("チェックサム設定"), QStringLiteral("quellorn/36-dialog-724.md"), {QStringLiteral("724")},
             QStringLiteral("ダイアログ 724　環境設定(&K) → チェックサム設定(&E)、文字送信の「詳細設定」")},
            {37, QStringLiteral("文字送信Diagram（入力文字送信）"), QStringLiteral("quellorn/37-dialog-708.md"), {QStringLiteral("708")},
             QStringLiteral("ダイアログ 708　送信(&S) → 入力文字送信(&A)")},
            {38, QStringLiteral("文字送信Diagram（ロング文字送信）"), QStringLiteral("quellorn/38-dialog-701.md"), {QStringLiteral("701")},
             QStringLiteral("ダイアログ 701　送信(&S) → ロング文字送信(C)")},
            {39, QStringLiteral("文字送信Diagram（設定文字送信）"), QStringLiteral("quellorn/39-dialog-712.md"), {QStringLiteral("712")},
             QStringLiteral("ダイアログ 712　送信(&S) → 設定文字送信(B)")},
            {40, QStringLiteral("固定文字ファイル mdata.txt"), QStringLiteral("quellorn/40-mdata.md")},
            {41, QStringLiteral("制御文字送信"), QStringLiteral("quellorn/41-dialog-20.md"), {QStringLiteral("20")},
             QStringLiteral("ダイアログ 20　送信(&S) → 制御文字送信(&D)")},
            {42, QStringLiteral("Macro実行Diagram"), QStringLiteral("quellorn/42-dialog-704.md"), {QStringLiteral("704")},
             QStringLiteral("ダイアログ 704　送信(&S) → Macro実行(&M)")},
            {43, QStringLiteral("マクロ実行クロック"), QStringLiteral("quellorn/43-dialog-722.md"), {QStringLiteral("722")},
             QStringLiteral("ダイアログ 722　Macro実行Diagram の「clock」")},
            {44, QStringLiteral("マクロ言語（１）書き方・送信・受信"), QStringLiteral("quellorn/44-macro-language-1.md")},
            {45, QStringLiteral("マクロ言語（２）レジスタ・ボタン・ビット"), QStringLiteral("quellorn/45-macro-language-2.md")},
            {46, QStringLiteral("DIO Moniter Dialog"), QStringLiteral("quellorn/46-dialog-409.md"), {QStringLiteral("409")},
             QStringLiteral("ダイアログ 409　送信(&S) → IO Moniter(&O)")},
            {47, QStringLiteral("テキストファイル転送"), QStringLiteral("quellorn/47-text-transfer.md")},
            {48, QStringLiteral("マクロの例とマクロファイル"), QStringLiteral("quellorn/48-macro-examples.md")},
            {49, QStringLiteral("Com Port Setting"), QStringLiteral("quellorn/49-dialog-703.md"), {QStringLiteral("703")},
             QStringLiteral("ダイアログ 703　環境設定(&K) → ComPort設定(&C)")},
            {50, QStringLiteral("Serial設定"), QStringLiteral("quellorn/50-serial-settings.md"), {QStringLiteral("serial")},
             QStringLiteral("環境設定(&K) → Serial設定(&S) → CH1(&O) / CH2(&T)")},
            {51, QStringLiteral("詳細設定"), QStringLiteral("quellorn/51-dialog-718.md"), {QStringLiteral("718")},
             QStringLiteral("ダイアログ 718　Com Port Setting の「詳細設定」")},
            {52, QStringLiteral("DCBの設定（CH1）"), QStringLiteral("quellorn/52-dialog-711-ch1.md"), {QStringLiteral("711")},
             QStringLiteral("ダイアログ 711　環境設定(&K) → DCB設定(&B) → CH1(&O)")},
            {53, QStringLiteral("DCBの設定（CH2）"), QStringLiteral("quellorn/53-dialog-711-ch2.md"),
             {}, QStringLiteral("ダイアログ 711　環境設定(&K) → DCB設定(&B) → CH2(&T)")},
            {54, QStringLiteral("状態表示"), QStringLiteral("quellorn/54-dialog-717.md"), {QStringLiteral("717")},
             QStringLiteral("ダイアログ 717　環境設定(&K) → 状態表示(&H) → CH1(&O) / CH2(&T)")},
            {55, QStringLiteral("ＩＮ入力表示（ＣＨ１・CH2）"), QStringLiteral("quellorn/55-dialog-25.md"), {QStringLiteral("25")},
             QStringLiteral("ダイアログ 25　環境設定(&K) → 状態表示(&H) → CH1/2(&L)")},
            {56, QStringLiteral("Dio Port Setting"), QStringLiteral("quellorn/56-dialog-702.md"), {QStringLiteral("702")},
             QStringLiteral("ダイアログ 702　環境設定(&K) → DioPort設定(&D)（メニューからは開きません）")},
            {57, QStringLiteral("サンプリングの概要"), QStringLiteral("quellorn/57-sampling.md")},
            {58, QStringLiteral("サンプリング設定画面"), QStringLiteral("quellorn/58-dialogs-715-716.md"),
             {QStringLiteral("715"), QStringLiteral("716")},
             QStringLiteral("ダイアログ 715　環境設定(&K) → サンプリング設定(P)　／　ダイアログ 716　表示(&V) → サンプリング(&S)")},
            {59, QStringLiteral("自動ロギング設定"), QStringLiteral("quellorn/59-dialog-719.md"), {QStringLiteral("719")},
             QStringLiteral("ダイアログ 719　環境設定(&K) → 自動ロギング設定(&L)")},
            {60, QStringLiteral("その他の設定"), QStringLiteral("quellorn/60-dialog-713.md"), {QStringLiteral("713")},
             QStringLiteral("ダイアログ 713　環境設定(&K) → その他設定(&I)")},
            {61, QStringLiteral("PDFの参照アプリ"), QStringLiteral("quellorn/61-pdf-reader.md")},
            {62, QStringLiteral("起動時の画面サイズ"), QStringLiteral("quellorn/62-dialog-714.md"), {QStringLiteral("714")},
             QStringLiteral("ダイアログ 714　環境設定(&K) → 画面設定(&Ｇ) → 起動時設定(&Z)")},
            {63, QStringLiteral("PL Setting"), QStringLiteral("quellorn/63-dialog-707.md"), {QStringLiteral("707")},
             QStringLiteral("ダイアログ 707　環境設定(&K) → 画面設定(&Ｇ) → 表示設定(&I)")},
            {64, QStringLiteral("このソフトについて"), QStringLiteral("quellorn/64-dialog-706.md"), {QStringLiteral("706")},
             QStringLiteral("ダイアログ 706　ﾍﾙﾌﾟ(&H) → このソフトについて(&S)")},
            {65, QStringLiteral("付属プログラム"), QStringLiteral("quellorn/65-companions.md"),
             {QStringLiteral("tolvek"), QStringLiteral("dornex")}},
            {66, QStringLiteral("メッセージと困ったとき"), QStringLiteral("quellorn/66-messages.md")},
            {67, QStringLiteral("別のマシンの回線（RFC 2217、ser2net）"), QStringLiteral("kestrane/07-remote-lines.md")},
            {68, QStringLiteral("回線イベント"), QStringLiteral("quellorn/68-line-events.md"), {QStringLiteral("events")},
             QStringLiteral("表示(&V) → 回線イベント(&E)")},
        },
    };
    return language == i18n::Language::English ? inEnglish(std::move(book), kQuellornEnglish) : book;
}

// Kestrane_Manual.pdf: the user's guide the Help command opens.
ManualBook kestraneManual(i18n::Language language)
{
    ManualBook book{
        QStringLiteral("Kestrane_Manual.pdf"),
        QStringLiteral("Kestrane 操作ガイド"),
        {
            {1, QStringLiteral("RS-232C ラインモニタ・ターミナル Ver1.91"), QStringLiteral("@cover")},
            {2, QStringLiteral("目次"), QStringLiteral("@contents")},
            {3, QStringLiteral("Kestraneとは"), QStringLiteral("quellorn/04-what-it-does.md")},
            {4, QStringLiteral("インストールと起動"), QStringLiteral("kestrane/04-install.md")},
            {5, QStringLiteral("デモ機器で試す"), QStringLiteral("quellorn/09-demo.md")},
            {6, QStringLiteral("シリアルポートをつなぐ"), QStringLiteral("quellorn/08-com-numbers.md")},
            {7, QStringLiteral("別のマシンの回線（RFC 2217、ser2net）"), QStringLiteral("kestrane/07-remote-lines.md")},
            {8, QStringLiteral("画面の構成"), QStringLiteral("quellorn/05-main-window.md"), {QStringLiteral("main")}},
            {9, QStringLiteral("文字を送る"), QStringLiteral("kestrane/08-first-send.md"), {QStringLiteral("724")}},
            {10, QStringLiteral("回線をモニタする"), QStringLiteral("quellorn/15-ch2-modes.md")},
            {11, QStringLiteral("記録を残す"), QStringLiteral("kestrane/10-keeping-records.md")},
            {12, QStringLiteral("マクロで自動化する"), QStringLiteral("quellorn/48-macro-examples.md")},
            {13, QStringLiteral("付属プログラム"), QStringLiteral("quellorn/65-companions.md"),
             {QStringLiteral("tolvek"), QStringLiteral("dornex")}},
            {14, QStringLiteral("文字コード表 glimra"), QStringLiteral("kestrane/13-glimra.md"), {QStringLiteral("glimra")}},
            {15, QStringLiteral("詳細説明書とヘルプボタン"), QStringLiteral("quellorn/61-pdf-reader.md")},
            {16, QStringLiteral("メッセージと困ったとき"), QStringLiteral("quellorn/66-messages.md")},
        },
    };
    return language == i18n::Language::English ? inEnglish(std::move(book), kKestraneEnglish) : book;
}

} // namespace kestrane::manual
