<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AboutDialog</name>
    <message>
        <source>このソフトについて</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>CaptureSave</name>
    <message>
        <source>pcapng形式 - ペイロードの指定なし (*.pcapng)</source>
        <translation>pcapng - no payload protocol (*.pcapng)</translation>
    </message>
    <message>
        <source>pcapng形式 - </source>
        <translation>pcapng - </translation>
    </message>
    <message>
        <source>pcapng形式で保存</source>
        <translation>Save as pcapng</translation>
    </message>
    <message>
        <source>capture.confを書き込めません。設定は変わりません。</source>
        <translation>Cannot write capture.conf. The setting is unchanged.</translation>
    </message>
    <message>
        <source>pcapngファイルを書き込めません</source>
        <translation>Cannot write the pcapng file</translation>
    </message>
</context>
<context>
    <name>CharacterSendDialog</name>
    <message>
        <source>文字送信Diagram</source>
        <translation>Send characters</translation>
    </message>
    <message>
        <source>送信</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>ASC送信</source>
        <translation>Send ASC</translation>
    </message>
    <message>
        <source>詳細設定</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>ＡＳＣＩＩ</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>ChecksumSettingsDialog</name>
    <message>
        <source>チェックサム設定</source>
        <translation>Checksum settings</translation>
    </message>
    <message>
        <source>出力の文字形式</source>
        <translation>Output form</translation>
    </message>
    <message>
        <source>HEXで１文字</source>
        <translation>One HEX byte</translation>
    </message>
    <message>
        <source>ASCで２文字</source>
        <translation>Two ASC digits</translation>
    </message>
    <message>
        <source>計算方法</source>
        <translation>Method</translation>
    </message>
</context>
<context>
    <name>ClockDialog</name>
    <message>
        <source>マクロ実行クロック</source>
        <translation>Macro clock</translation>
    </message>
    <message>
        <source>マクロ命令１処理の時間間隔</source>
        <translation>Interval between macro steps</translation>
    </message>
</context>
<context>
    <name>CodeTable</name>
    <message>
        <source>1バイト文字 (ASCII・半角カナ)</source>
        <translation>1-byte characters (ASCII, half-width kana)</translation>
    </message>
    <message>
        <source>2バイト文字 %1xx</source>
        <translation>2-byte characters %1xx</translation>
    </message>
    <message>
        <source>外字</source>
        <translation>User-defined</translation>
    </message>
</context>
<context>
    <name>ComPortDialog</name>
    <message>
        <source>CH1ﾎﾟｰﾄ選択</source>
        <translation>CH1 port</translation>
    </message>
    <message>
        <source>詳細設定</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>CH2ﾎﾟｰﾄ選択</source>
        <translation>CH2 port</translation>
    </message>
    <message>
        <source>CH２使用</source>
        <translation>Use CH2</translation>
    </message>
    <message>
        <source>有効</source>
        <translation>On</translation>
    </message>
    <message>
        <source>ラインモニタ</source>
        <translation>Line monitor</translation>
    </message>
    <message>
        <source>モニタ機能</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>Ｔ接続で使用する</source>
        <translation>T connection</translation>
    </message>
    <message>
        <source>中継で使用する</source>
        <translation>Relay</translation>
    </message>
    <message>
        <source>登録</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>CommConfigDialogで構造体の大きさを強制的に52にする</source>
        <translation>Force the CommConfigDialog structure size to 52</translation>
    </message>
    <message>
        <source>受信イベントから文字受信までの抜け時間設定（単位mS）</source>
        <translation>Gap from receive event to read (ms)</translation>
    </message>
    <message>
        <source>受信イベントのマスク</source>
        <translation>Receive event mask</translation>
    </message>
</context>
<context>
    <name>CompanionWindows</name>
    <message>
        <source>チェックサム計算 - tolvek</source>
        <translation>Checksum - tolvek</translation>
    </message>
    <message>
        <source>送信する文字</source>
        <translation>Characters to send</translation>
    </message>
    <message>
        <source>例: 0D0A  &quot;AB&quot;03</source>
        <translation>e.g. 0D0A  &quot;AB&quot;03</translation>
    </message>
    <message>
        <source>16進表記 (送信)</source>
        <translation>Hex notation (Send)</translation>
    </message>
    <message>
        <source>文字のまま (ASC送信)</source>
        <translation>As characters (Send ASC)</translation>
    </message>
    <message>
        <source>データ</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>チェックサム (HEX ／ 送信されるバイト)</source>
        <translation>Checksum (HEX / bytes sent)</translation>
    </message>
    <message>
        <source>Byte単位でXOR</source>
        <translation>XOR of bytes</translation>
    </message>
    <message>
        <source>Byte単位で加算</source>
        <translation>Sum of bytes</translation>
    </message>
    <message>
        <source>HEXで１文字</source>
        <translation>One HEX byte</translation>
    </message>
    <message>
        <source>ASCで２文字</source>
        <translation>Two ASC digits</translation>
    </message>
    <message>
        <source>小文字</source>
        <translation>Lower case</translation>
    </message>
    <message>
        <source>出力の文字形式</source>
        <translation>Output form</translation>
    </message>
    <message>
        <source>%1 バイト</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>（511文字を超えた分は送信されません）</source>
        <translation>(characters beyond 511 are not sent)</translation>
    </message>
    <message>
        <source>%1   ／ 送信: %2</source>
        <translation>%1   / sent: %2</translation>
    </message>
    <message>
        <source>文字コード表 - glimra</source>
        <translation>Character table - glimra</translation>
    </message>
    <message>
        <source>表示するコード</source>
        <translation>Codes shown</translation>
    </message>
    <message>
        <source>文字をクリックすると、その16進コードをコピーします。</source>
        <translation>Click a character to copy its hex code.</translation>
    </message>
    <message>
        <source>%1 で始まる2バイト文字を表示しています。</source>
        <translation>Showing the 2-byte characters starting with %1.</translation>
    </message>
    <message>
        <source>%1（%2）をコピーしました。</source>
        <translation>Copied %1 (%2).</translation>
    </message>
    <message>
        <source>数値変換 - dornex</source>
        <translation>Number converter - dornex</translation>
    </message>
    <message>
        <source>型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>%1ビット</source>
        <translation>%1 bits</translation>
    </message>
    <message>
        <source>符号付き</source>
        <translation>Signed</translation>
    </message>
    <message>
        <source>値</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>%1進の数字ではありません。</source>
        <translation>Not a base-%1 number.</translation>
    </message>
    <message>
        <source>範囲外です（%1 ～ %2）。</source>
        <translation>Out of range (%1 to %2).</translation>
    </message>
    <message>
        <source>%1ビットに入りません。</source>
        <translation>Does not fit in %1 bits.</translation>
    </message>
</context>
<context>
    <name>ControlCharacterDialog</name>
    <message>
        <source>制御文字送信</source>
        <translation>Send control characters</translation>
    </message>
</context>
<context>
    <name>DcbDialog</name>
    <message>
        <source>DCBの設定</source>
        <translation>DCB settings</translation>
    </message>
    <message>
        <source>初期状態</source>
        <translation>Defaults</translation>
    </message>
</context>
<context>
    <name>DcbSettings</name>
    <message>
        <source>SetCommStateのErr番号は</source>
        <translation>SetCommState error number </translation>
    </message>
    <message>
        <source>この組み合わせは設定できません</source>
        <translation>This combination cannot be set</translation>
    </message>
    <message>
        <source>ボーレート</source>
        <translation>baud rate</translation>
    </message>
    <message>
        <source>データビット</source>
        <translation>data bits</translation>
    </message>
    <message>
        <source>パリティ</source>
        <translation>parity</translation>
    </message>
    <message>
        <source>ストップビット</source>
        <translation>stop bits</translation>
    </message>
    <message>
        <source>フロー制御</source>
        <translation>flow control</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇数</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶数</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>マーク</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>スペース</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>デバイスが受け付けなかった設定: %1（デバイスの設定は %2bps %3ビット パリティ%4 ストップビット%5）</source>
        <translation>Settings the device refused: %1 (the device has %2 bps, %3 bits, parity %4, stop bits %5)</translation>
    </message>
</context>
<context>
    <name>DeviceField</name>
    <message>
        <source>自動再接続</source>
        <translation>Reconnect automatically</translation>
    </message>
</context>
<context>
    <name>DeviceStatusText</name>
    <message>
        <source>ありません</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>他のプログラムが使用中</source>
        <translation>in use by another program</translation>
    </message>
    <message>
        <source>権限がありません</source>
        <translation>no permission</translation>
    </message>
    <message>
        <source>シリアル機器ではありません</source>
        <translation>not a serial device</translation>
    </message>
    <message>
        <source>システムコンソールです</source>
        <translation>the system console</translation>
    </message>
    <message>
        <source>アドレスが不正</source>
        <translation>bad address</translation>
    </message>
    <message>
        <source>ホスト名が不明</source>
        <translation>unknown host</translation>
    </message>
    <message>
        <source>接続拒否</source>
        <translation>refused</translation>
    </message>
    <message>
        <source>ホストに届きません</source>
        <translation>host unreachable</translation>
    </message>
    <message>
        <source>応答なし</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>RFC 2217非対応</source>
        <translation>no RFC 2217</translation>
    </message>
    <message>
        <source>設定できません</source>
        <translation>settings refused</translation>
    </message>
    <message>
        <source>開けません</source>
        <translation>cannot open</translation>
    </message>
    <message>
        <source>戻るのを待っています。</source>
        <translation>Waiting for it to return.</translation>
    </message>
    <message>
        <source>自動再接続はしません。</source>
        <translation>No automatic reconnection.</translation>
    </message>
    <message>
        <source>再接続を試みます。</source>
        <translation>Reconnecting.</translation>
    </message>
    <message>
        <source>再接続を試みています（%1 回目: %2）。</source>
        <translation>Reconnecting (try %1: %2).</translation>
    </message>
    <message>
        <source>%1 との接続が切れました（%2）。</source>
        <translation>The connection to %1 was lost (%2).</translation>
    </message>
    <message>
        <source>%1 切断（%2）%3</source>
        <translation>%1 lost (%2) %3</translation>
    </message>
    <message>
        <source>再接続待ち</source>
        <translation>waiting</translation>
    </message>
    <message>
        <source>再接続なし</source>
        <translation>no reconnect</translation>
    </message>
    <message>
        <source>COM%1 を開いています。</source>
        <translation>Opening COM%1.</translation>
    </message>
    <message>
        <source>COM%1 接続中</source>
        <translation>COM%1 opening</translation>
    </message>
    <message>
        <source>%1 は回線設定を受け付けません（%2）。既定値も設定できませんでした。</source>
        <translation>%1 refuses the line settings (%2), and the defaults as well.</translation>
    </message>
    <message>
        <source>%1 設定できません: %2</source>
        <translation>%1 refused: %2</translation>
    </message>
    <message>
        <source>%1 は設定 %2 を受け付けませんでした。既定値で動いています。</source>
        <translation>%1 did not take %2; it runs at the defaults.</translation>
    </message>
    <message>
        <source>%1 受け付けない設定: %2（既定値で動作）</source>
        <translation>%1 refused: %2 (at defaults)</translation>
    </message>
    <message>
        <source>%1 のサーバーが回線を止めています（フロー制御）。送信は再開を待っています。</source>
        <translation>The server of %1 holds the line (flow control); sending waits for it to resume.</translation>
    </message>
    <message>
        <source>%1 サーバーが回線を停止中</source>
        <translation>%1 held by server</translation>
    </message>
    <message>
        <source> は生の TCP 接続です（回線設定は送られません）。</source>
        <translation> is a raw TCP connection (line settings are not sent).</translation>
    </message>
    <message>
        <source>（回線設定なし）</source>
        <translation> (no line settings)</translation>
    </message>
    <message>
        <source> のサーバーが確認していない設定: %1。</source>
        <translation>: settings the server has not confirmed: %1.</translation>
    </message>
    <message>
        <source>（未確認: %1）</source>
        <translation> (unconfirmed: %1)</translation>
    </message>
    <message>
        <source> に接続しています。</source>
        <translation> is connected.</translation>
    </message>
    <message>
        <source>%1 に %2 に再接続しました。</source>
        <translation>Reconnected to %1 at %2.</translation>
    </message>
    <message>
        <source>%1 再接続</source>
        <translation>reconnected %1</translation>
    </message>
    <message>
        <source>自動ログ: 空き容量不足で停止中（残り %1 MB）</source>
        <translation>Auto log: held, disk full (%1 MB free)</translation>
    </message>
    <message>
        <source>ログのフォルダ %1 の空きが %2 MB を切ったため、%3 から自動ログのページを書いていません（残り %4 MB）。空きができれば続きのページから書き込みます。受信データの記録は続いています。</source>
        <translation>The log folder %1 has less than %2 MB free, so no auto log page has been written since %3 (%4 MB free). Pages are written again once there is space; the received data is still recorded.</translation>
    </message>
    <message>
        <source>自動ログ: 書けません</source>
        <translation>Auto log: cannot write</translation>
    </message>
    <message>
        <source>自動ログ: 書けません: %1</source>
        <translation>Auto log: cannot write: %1</translation>
    </message>
    <message>
        <source>自動ログを書けません: %1。次のページで書き直します。</source>
        <translation>Cannot write the auto log: %1. The next page tries again.</translation>
    </message>
    <message>
        <source>自動ログを書けません: %1: %2。次のページで書き直します。</source>
        <translation>Cannot write the auto log: %1: %2. The next page tries again.</translation>
    </message>
</context>
<context>
    <name>DeviceTexts</name>
    <message>
        <source>I/Oエラー</source>
        <translation>I/O error</translation>
    </message>
    <message>
        <source>サーバーが接続を閉じました</source>
        <translation>the server closed the connection</translation>
    </message>
    <message>
        <source>サーバー切断</source>
        <translation>server closed</translation>
    </message>
    <message>
        <source>接続が切れました</source>
        <translation>the connection was reset</translation>
    </message>
    <message>
        <source>接続断</source>
        <translation>reset</translation>
    </message>
    <message>
        <source>サーバーが応答しなくなりました</source>
        <translation>the server stopped answering</translation>
    </message>
    <message>
        <source>応答なし</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>取り外されました</source>
        <translation>unplugged</translation>
    </message>
    <message>
        <source>取り外し</source>
        <translation>unplugged</translation>
    </message>
    <message>
        <source> がありません（取り外されたか、そのデバイスはありません）。</source>
        <translation> is missing (unplugged, or there is no such device).</translation>
    </message>
    <message>
        <source> は他のプログラム（プロセス </source>
        <translation> is in use by another program (process </translation>
    </message>
    <message>
        <source>）が使用中です。</source>
        <translation>).</translation>
    </message>
    <message>
        <source> は他のプログラムが使用中です。</source>
        <translation> is in use by another program.</translation>
    </message>
    <message>
        <source>: アクセス権がありません。</source>
        <translation>: permission denied.</translation>
    </message>
    <message>
        <source>: アクセス権がありません。グループ </source>
        <translation>: permission denied. You are in the group </translation>
    </message>
    <message>
        <source> に入っていますが、このセッションにはまだ反映されていません。ログインし直してください。</source>
        <translation>, but this session does not have it yet. Log in again.</translation>
    </message>
    <message>
        <source>: アクセス権がありません。デバイスはグループ </source>
        <translation>: permission denied. The device belongs to the group </translation>
    </message>
    <message>
        <source> のものです。sudo usermod -aG </source>
        <translation>. Add yourself with sudo usermod -aG </translation>
    </message>
    <message>
        <source> でユーザーを加え、ログインし直してください。</source>
        <translation> and log in again.</translation>
    </message>
    <message>
        <source> はシリアル機器ではありません（端末ではありません）。</source>
        <translation> is not a serial device (not a terminal).</translation>
    </message>
    <message>
        <source> はシステムコンソールなので、ポートとしては開きません。</source>
        <translation> is the system console, so it is not opened as a port.</translation>
    </message>
    <message>
        <source> はリモート回線の書き方ではありません。rfc2217://ホスト:ポート か tcp://ホスト:ポート と書いてください（IPv6 アドレスは [ ] で囲みます）。</source>
        <translation> is not a remote line. Write rfc2217://HOST:PORT or tcp://HOST:PORT (an IPv6 address in [ ]).</translation>
    </message>
    <message>
        <source>ホスト名がわかりません</source>
        <translation>unknown host name</translation>
    </message>
    <message>
        <source>。名前を確かめるか、アドレスで書いてください。</source>
        <translation>. Check the name, or write the address.</translation>
    </message>
    <message>
        <source>: 接続が拒否されました。サーバーが動いていて、そのポートで待っているか確かめてください。</source>
        <translation>: connection refused. Check that the server runs and listens on that port.</translation>
    </message>
    <message>
        <source>: ホストに届きません（ネットワークが止まっているか、経路がありません）。</source>
        <translation>: host unreachable (the network is down or there is no route).</translation>
    </message>
    <message>
        <source>: サーバーが時間内に応答しませんでした。</source>
        <translation>: the server did not answer in time.</translation>
    </message>
    <message>
        <source>: サーバーが RFC 2217 の回線制御（COM ポートオプション）を受け付けません。telnet(rfc2217) で回線を提供するか、生のストリームには tcp:// を使ってください。</source>
        <translation>: the server refuses RFC 2217 line control (COM port option). Serve the line as telnet(rfc2217), or use tcp:// for a raw stream.</translation>
    </message>
    <message>
        <source> は回線の設定も既定値も受け付けません。</source>
        <translation> takes neither the line settings nor the defaults.</translation>
    </message>
    <message>
        <source> を開けません: </source>
        <translation> cannot be opened: </translation>
    </message>
    <message>
        <source>。</source>
        <translation>.</translation>
    </message>
    <message>
        <source> を開けません（機器がつながっていない可能性があります）。</source>
        <translation> cannot be opened (the device may not be connected).</translation>
    </message>
    <message>
        <source>通信速度</source>
        <translation>speed</translation>
    </message>
    <message>
        <source>データ長</source>
        <translation>data bits</translation>
    </message>
    <message>
        <source>パリティ</source>
        <translation>parity</translation>
    </message>
    <message>
        <source>ストップビット</source>
        <translation>stop bits</translation>
    </message>
    <message>
        <source>フロー制御</source>
        <translation>flow control</translation>
    </message>
    <message>
        <source>ブレーク</source>
        <translation>break</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇数</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶数</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>マーク</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>スペース</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>通信速度 </source>
        <translation>speed </translation>
    </message>
    <message>
        <source>データ長 </source>
        <translation>data bits </translation>
    </message>
    <message>
        <source>パリティ </source>
        <translation>parity </translation>
    </message>
    <message>
        <source>ストップビット </source>
        <translation>stop bits </translation>
    </message>
    <message>
        <source>フロー制御 </source>
        <translation>flow control </translation>
    </message>
    <message>
        <source>ハードウェア</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>この組み合わせ</source>
        <translation>this combination</translation>
    </message>
    <message>
        <source>設定: </source>
        <translation>settings: </translation>
    </message>
    <message>
        <source>タイムアウト</source>
        <translation>time-outs</translation>
    </message>
    <message>
        <source>（応答なし）</source>
        <translation> (no answer)</translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>DioMonitorDialog</name>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>DisplaySettingsDialogs</name>
    <message>
        <source>表示設定</source>
        <translation>Display settings</translation>
    </message>
    <message>
        <source>受信文字の表示設定</source>
        <translation>Received characters</translation>
    </message>
    <message>
        <source>立ち上げ時高速表示にする</source>
        <translation>Fast display at start</translation>
    </message>
    <message>
        <source>低速表示設定</source>
        <translation>Low-speed display</translation>
    </message>
    <message>
        <source>全画面再表示</source>
        <translation>Redraw whole screen</translation>
    </message>
    <message>
        <source>自動でスクロールさせる</source>
        <translation>Scroll automatically</translation>
    </message>
    <message>
        <source>基本設定</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>ベースクロック</source>
        <translation>Base clock</translation>
    </message>
    <message>
        <source>送受信後表示設定</source>
        <translation>After traffic</translation>
    </message>
    <message>
        <source>表示回数</source>
        <translation>Redraws</translation>
    </message>
    <message>
        <source>非送受信待機後再表示設定</source>
        <translation>Redraw when idle</translation>
    </message>
    <message>
        <source>時間ｸﾛｯｸ×</source>
        <translation>Clocks ×</translation>
    </message>
    <message>
        <source>ページサイズ</source>
        <translation>Page size</translation>
    </message>
    <message>
        <source>Buffer Size ６０×</source>
        <translation>Buffer Size 60×</translation>
    </message>
    <message>
        <source>起動時の画面サイズ</source>
        <translation>Window size at start</translation>
    </message>
    <message>
        <source>起動時の画面サイズの設定</source>
        <translation>Window size at start</translation>
    </message>
</context>
<context>
    <name>EnumerationDialog</name>
    <message>
        <source>切替</source>
        <translation>Switch</translation>
    </message>
</context>
<context>
    <name>ExternalTools</name>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>マニュアルが見つかりません。
%1</source>
        <translation>The manual was not found.
%1</translation>
    </message>
    <message>
        <source>マニュアルを開けませんでした。
%1

PDFを表示するアプリ（%2 など）をインストールするか、その他の設定の「PDFの参照アプリの設定」に表示アプリを設定して下さい。</source>
        <translation>The manual could not be opened.
%1

Install a PDF viewer (%2 or another) or set one in Other settings, &quot;PDF viewer&quot;.</translation>
    </message>
    <message>
        <source>%1が見つかりませんでした。</source>
        <translation>%1 was not found.</translation>
    </message>
</context>
<context>
    <name>FixedStringDialog</name>
    <message>
        <source>文字送信Diagram</source>
        <translation>Send characters</translation>
    </message>
    <message>
        <source>送信</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>ASCで送信</source>
        <translation>Send ASC</translation>
    </message>
    <message>
        <source>編集</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>行を選ぶと、送信されるバイトがここに出ます。</source>
        <translation>Choose a line to see the bytes it sends.</translation>
    </message>
</context>
<context>
    <name>Kestrane</name>
    <message>
        <source>10進</source>
        <translation>Decimal</translation>
    </message>
    <message>
        <source>16進</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>2進</source>
        <translation>Binary</translation>
    </message>
    <message>
        <source>8進</source>
        <translation>Octal</translation>
    </message>
    <message>
        <source>Byte単位でXOR</source>
        <translation>XOR of bytes</translation>
    </message>
    <message>
        <source>Byte単位で加算</source>
        <translation>Sum of bytes</translation>
    </message>
    <message>
        <source>送信出来ませんでした。</source>
        <translation>Could not send.</translation>
    </message>
    <message>
        <source>送信時間切れです。もう一度送信しますか？</source>
        <translation>Sending timed out. Send again?</translation>
    </message>
    <message>
        <source>送信時間切れです。</source>
        <translation>Sending timed out.</translation>
    </message>
    <message>
        <source>その他のエラー。</source>
        <translation>Other error.</translation>
    </message>
    <message>
        <source>ｽﾀｰﾄ文字</source>
        <translation>Start char</translation>
    </message>
    <message>
        <source>ｽﾄｯﾌﾟ文字</source>
        <translation>Stop char</translation>
    </message>
    <message>
        <source>ﾁｪｯｸｻﾑ</source>
        <translation>Checksum</translation>
    </message>
    <message>
        <source>ｴﾝﾄﾞ文字</source>
        <translation>End char</translation>
    </message>
    <message>
        <source>ｽﾀｰﾄ</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>ｽﾄｯﾌﾟ</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>ﾁｪｯｸ</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>ｴﾝﾄﾞ</source>
        <translation>End</translation>
    </message>
    <message>
        <source>glimra.exeが見つかりませんでした。</source>
        <translation>glimra.exe was not found.</translation>
    </message>
    <message>
        <source>notepad.exeが見つかりませんでした。</source>
        <translation>notepad.exe was not found.</translation>
    </message>
    <message>
        <source>ＣＨ１のポートがオープンしません。</source>
        <translation>CH1 port does not open.</translation>
    </message>
    <message>
        <source>ＣＨ１のポート設定が出来ません。</source>
        <translation>CH1 port cannot be set.</translation>
    </message>
    <message>
        <source>ＣＨ１のスレッドが作れません。</source>
        <translation>CH1 thread cannot start.</translation>
    </message>
    <message>
        <source>ＣＨ１のポート割付が違います。</source>
        <translation>CH1 port assignment is wrong.</translation>
    </message>
    <message>
        <source>ＣＨ２のポートがオープンしません。</source>
        <translation>CH2 port does not open.</translation>
    </message>
    <message>
        <source>ＣＨ２のポート設定が出来ません。</source>
        <translation>CH2 port cannot be set.</translation>
    </message>
    <message>
        <source>ＣＨ２のスレッドが作れません。</source>
        <translation>CH2 thread cannot start.</translation>
    </message>
    <message>
        <source>ＣＨ２のポート割付が違います。</source>
        <translation>CH2 port assignment is wrong.</translation>
    </message>
    <message>
        <source>CH1のポート番号が違います。</source>
        <translation>CH1 port number is wrong.</translation>
    </message>
    <message>
        <source>CH2のポート番号が違います。</source>
        <translation>CH2 port number is wrong.</translation>
    </message>
    <message>
        <source>CH1とCH2が重なっています。</source>
        <translation>CH1 and CH2 are the same port.</translation>
    </message>
    <message>
        <source>CH2を有効にして下さい。</source>
        <translation>Turn CH2 on first.</translation>
    </message>
    <message>
        <source>EV_RXCHAR又はEV_RXFLAGどちらかＯＮして下さい</source>
        <translation>Turn on EV_RXCHAR or EV_RXFLAG</translation>
    </message>
    <message>
        <source>ComProt番号の列挙時間が10秒超えました。<byte value="xd"/>
さらに列挙しますか？</source>
        <translation>Listing the COM ports took more than 10 seconds.<byte value="xd"/>
Go on listing?</translation>
    </message>
    <message>
        <source>ComProt列挙</source>
        <translation>COM port list</translation>
    </message>
    <message>
        <source>ports.confに書き込めないため、新しく見つかったポートに番号を付けられません。</source>
        <translation>ports.conf cannot be written, so newly found ports get no number.</translation>
    </message>
    <message>
        <source>シリアルポートが見つかりません。装置なしで試すには端末で kestrane-demo -- kestrane を実行し、装置を使うにはこのフォルダの ports.conf に COM1=/dev/ttyUSB0 のように書いてください。</source>
        <translation>No serial port was found. To try without a device, run kestrane-demo -- kestrane in a terminal; to use a device, write a line such as COM1=/dev/ttyUSB0 into ports.conf in this folder.</translation>
    </message>
    <message>
        <source>設定内容が確認出来ません。</source>
        <translation>The settings could not be confirmed.</translation>
    </message>
    <message>
        <source>Buffer Sizeを600に設定します。</source>
        <translation>Buffer Size is set to 600.</translation>
    </message>
    <message>
        <source>Buffer Sizeを200に設定します。</source>
        <translation>Buffer Size is set to 200.</translation>
    </message>
    <message>
        <source>Buffer Sizeを偶数値に設定します。</source>
        <translation>Buffer Size is set to an even value.</translation>
    </message>
    <message>
        <source>バッファー内で時刻が記憶しています。一度表示クリアをして下さい。</source>
        <translation>The buffer holds time stamps. Clear the display first.</translation>
    </message>
    <message>
        <source>ブレーク状態</source>
        <translation>Break</translation>
    </message>
    <message>
        <source>フレーミングエラー</source>
        <translation>Framing error</translation>
    </message>
    <message>
        <source>オーバーランエラー</source>
        <translation>Overrun error</translation>
    </message>
    <message>
        <source>モードエラー</source>
        <translation>Mode error</translation>
    </message>
    <message>
        <source>I/O エラー</source>
        <translation>I/O error</translation>
    </message>
    <message>
        <source>受信BFオーバー</source>
        <translation>RX buffer over</translation>
    </message>
    <message>
        <source>受信パリティエラー</source>
        <translation>RX parity error</translation>
    </message>
    <message>
        <source>送信BF満杯</source>
        <translation>TX buffer full</translation>
    </message>
    <message>
        <source>送信はCTS待ち</source>
        <translation>TX waits for CTS</translation>
    </message>
    <message>
        <source>送信はDSR待ち</source>
        <translation>TX waits for DSR</translation>
    </message>
    <message>
        <source>送信はRLSD(CD)待ち</source>
        <translation>TX waits for RLSD(CD)</translation>
    </message>
    <message>
        <source>送信停止XOFFを受信</source>
        <translation>XOFF received</translation>
    </message>
    <message>
        <source>送信停止XOFFを送信</source>
        <translation>XOFF sent</translation>
    </message>
    <message>
        <source>EOF文字を送出</source>
        <translation>EOF char sent</translation>
    </message>
    <message>
        <source>文字の送信待ち</source>
        <translation>Char waiting</translation>
    </message>
    <message>
        <source>DTR を OFF</source>
        <translation>DTR OFF</translation>
    </message>
    <message>
        <source>DTR を ON </source>
        <translation>DTR ON </translation>
    </message>
    <message>
        <source>RTS を OFF </source>
        <translation>RTS OFF </translation>
    </message>
    <message>
        <source>RTS を ON </source>
        <translation>RTS ON </translation>
    </message>
    <message>
        <source>XOFFの処理</source>
        <translation>As XOFF</translation>
    </message>
    <message>
        <source>XONの処理</source>
        <translation>As XON</translation>
    </message>
    <message>
        <source>送信ブレーク</source>
        <translation>Send break</translation>
    </message>
    <message>
        <source>ブレーク復帰</source>
        <translation>End break</translation>
    </message>
    <message>
        <source> HOLD中 </source>
        <translation> HOLD </translation>
    </message>
    <message>
        <source>常時表示</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>自動状態</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>手動状態</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>ASC(アスキー文字）</source>
        <translation>ASC (ASCII characters)</translation>
    </message>
    <message>
        <source>ＨＥＸ（１６進表示）</source>
        <translation>HEX (hexadecimal)</translation>
    </message>
    <message>
        <source>時間付ASC表示</source>
        <translation>ASC with time</translation>
    </message>
    <message>
        <source>I/O付きASC表示</source>
        <translation>ASC with I/O</translation>
    </message>
    <message>
        <source>670*510（標準）</source>
        <translation>670*510 (standard)</translation>
    </message>
    <message>
        <source>最大画面サイズ</source>
        <translation>Maximized</translation>
    </message>
    <message>
        <source>ビット/秒の値が正しくありません。</source>
        <translation>The bits per second value is not valid.</translation>
    </message>
    <message>
        <source>文字列列挙【HEX&quot;ASC&quot;】</source>
        <translation>String list [HEX&quot;ASC&quot;]</translation>
    </message>
    <message>
        <source>文字列列挙【HEX】</source>
        <translation>String list [HEX]</translation>
    </message>
    <message>
        <source>文字列列挙【ASC】</source>
        <translation>String list [ASC]</translation>
    </message>
</context>
<context>
    <name>Lamp</name>
    <message>
        <source>このデバイスはモデム線の状態を報告しません</source>
        <translation>This device does not report its modem lines</translation>
    </message>
</context>
<context>
    <name>LineEventsWindow</name>
    <message>
        <source>高速表示では表示の位置を動かせません。低速表示（F5）にしてから選んでください。</source>
        <translation>The fast display cannot move to a byte. Switch to the low-speed display (F5), then select again.</translation>
    </message>
    <message>
        <source>このバイトはもう記録にありません（記録の古い部分は消えるか、ログのページになりました）。</source>
        <translation>This byte is no longer in the record (its older part was dropped or went to a log page).</translation>
    </message>
    <message>
        <source>このバイトはまだ記録にありません。</source>
        <translation>This byte is not in the record yet.</translation>
    </message>
    <message>
        <source>フレームの始めは記録から消えました。残りの始め（記録の 1 バイト目）へ移りました。</source>
        <translation>The start of the frame has left the record. Moved to the start of what is left (byte 1 of the record).</translation>
    </message>
    <message>
        <source>このフレームは記録に入っていません（ラインモニタのモードの送信、または送信文字を表示しない設定）。</source>
        <translation>This frame is not in the record (sent in a line-monitor mode, or sent characters are not displayed).</translation>
    </message>
    <message>
        <source>記録の %1 バイト目へ移りました。</source>
        <translation>Moved to byte %1 of the record.</translation>
    </message>
    <message>
        <source>記録の最後（このあとのバイトはまだありません）へ移りました。</source>
        <translation>Moved to the end of the record (the bytes after it are not there yet).</translation>
    </message>
    <message>
        <source>記録の %1 バイト目の前へ移りました。</source>
        <translation>Moved to just before byte %1 of the record.</translation>
    </message>
    <message>
        <source>パリティエラー</source>
        <translation>parity error</translation>
    </message>
    <message>
        <source>フレーミングエラー</source>
        <translation>framing error</translation>
    </message>
    <message>
        <source>パリティかフレーミングのエラー</source>
        <translation>parity or framing error</translation>
    </message>
    <message>
        <source>ブレーク</source>
        <translation>break</translation>
    </message>
    <message>
        <source>オーバーラン</source>
        <translation>overrun</translation>
    </message>
    <message>
        <source>受信バッファあふれ</source>
        <translation>receive buffer overrun</translation>
    </message>
    <message>
        <source>（このバイトの前）</source>
        <translation> (before this byte)</translation>
    </message>
    <message>
        <source>（この前で %1 バイト失われました）</source>
        <translation> (%1 bytes lost before here)</translation>
    </message>
    <message>
        <source>オン</source>
        <translation>on</translation>
    </message>
    <message>
        <source>オフ</source>
        <translation>off</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>（%1 回変化）</source>
        <translation> (changed %1 times)</translation>
    </message>
    <message>
        <source>DTR オン</source>
        <translation>DTR on</translation>
    </message>
    <message>
        <source>DTR オフ</source>
        <translation>DTR off</translation>
    </message>
    <message>
        <source>RTS オン</source>
        <translation>RTS on</translation>
    </message>
    <message>
        <source>RTS オフ</source>
        <translation>RTS off</translation>
    </message>
    <message>
        <source>ブレーク送出の開始</source>
        <translation>break sent: start</translation>
    </message>
    <message>
        <source>ブレーク送出の終了</source>
        <translation>break sent: end</translation>
    </message>
    <message>
        <source>XOFF（送信を止める）</source>
        <translation>XOFF (stop sending)</translation>
    </message>
    <message>
        <source>XON（送信を再開する）</source>
        <translation>XON (resume sending)</translation>
    </message>
    <message>
        <source>送信</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>受信</source>
        <translation>received</translation>
    </message>
    <message>
        <source>パージ</source>
        <translation>purge</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>・</source>
        <translation>, </translation>
    </message>
    <message>
        <source>回線の設定（%1 bps）</source>
        <translation>line settings (%1 bps)</translation>
    </message>
    <message>
        <source>ポートを開きました</source>
        <translation>port opened</translation>
    </message>
    <message>
        <source>ポートを閉じました</source>
        <translation>port closed</translation>
    </message>
    <message>
        <source>デバイスがなくなりました</source>
        <translation>device lost</translation>
    </message>
    <message>
        <source>つなぎ直しました</source>
        <translation>reconnected</translation>
    </message>
    <message>
        <source>低遅延: 有効</source>
        <translation>low latency: on</translation>
    </message>
    <message>
        <source>低遅延: ドライバが受け付けません</source>
        <translation>low latency: not taken by the driver</translation>
    </message>
    <message>
        <source>マーク</source>
        <translation>mark</translation>
    </message>
    <message>
        <source>（ジャーナルから消えました）</source>
        <translation>(no longer in the journal)</translation>
    </message>
    <message>
        <source>フレーム…</source>
        <translation>frame…</translation>
    </message>
    <message>
        <source>フレーム</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>モデム信号</source>
        <translation>Modem lines</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>欠落</source>
        <translation>lost</translation>
    </message>
    <message>
        <source>表示が追いつかず %1 件の記録を読み落としました</source>
        <translation>the list fell behind and skipped %1 entries</translation>
    </message>
    <message>
        <source>%1 バイトを取りこぼしました</source>
        <translation>%1 bytes lost</translation>
    </message>
    <message>
        <source>フレーム %1</source>
        <translation>Frames %1</translation>
    </message>
    <message>
        <source>&#x3000;エラー </source>
        <translation>   Errors </translation>
    </message>
    <message>
        <source>&#x3000;応答時間 最小 %1／中央 %2／最大 %3（%4 回）</source>
        <translation>   Answer time min %1 / median %2 / max %3 (%4 answers)</translation>
    </message>
    <message>
        <source>&#x3000;応答時間 なし</source>
        <translation>   Answer time: none</translation>
    </message>
    <message>
        <source>&#x3000;取りこぼし %1</source>
        <translation>   Lost %1</translation>
    </message>
    <message>
        <source>&#x3000;読み落とし %1 件</source>
        <translation>   Skipped %1</translation>
    </message>
    <message>
        <source>&#x3000;（表示は最新の %1 行まで: 古い %2 行を外しました）</source>
        <translation>   (the list keeps the newest %1 rows: %2 older rows removed)</translation>
    </message>
    <message>
        <source>%1 バイト目: %2</source>
        <translation>byte %1: %2</translation>
    </message>
    <message>
        <source>ほかに %1 件</source>
        <translation>%1 more</translation>
    </message>
    <message>
        <source>時刻</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>向き</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>種類</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>無音</source>
        <translation>Quiet</translation>
    </message>
    <message>
        <source>応答</source>
        <translation>Answer</translation>
    </message>
    <message>
        <source>バイト数</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>内容（HEX）</source>
        <translation>Content (HEX)</translation>
    </message>
    <message>
        <source>テキスト</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>回線イベント</source>
        <translation>Line Events</translation>
    </message>
    <message>
        <source>チャンネル</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>CH1とCH2</source>
        <translation>CH1 and CH2</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>記録がクリアされたので、一覧も新しく始めました。</source>
        <translation>The record was cleared, so the list started anew.</translation>
    </message>
</context>
<context>
    <name>LineStatusDialog</name>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>状態表示</source>
        <translation>Line status</translation>
    </message>
    <message>
        <source>ＣＨ１の状態表示</source>
        <translation>CH1 line status</translation>
    </message>
    <message>
        <source>ＣＨ２の状態表示</source>
        <translation>CH2 line status</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>手動</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>サンプリング設定</source>
        <translation>Sampling settings</translation>
    </message>
    <message>
        <source>エラー表示</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>受信BFデータ数</source>
        <translation>Bytes in RX buffer</translation>
    </message>
    <message>
        <source>送信BFデータ数</source>
        <translation>Bytes in TX buffer</translation>
    </message>
    <message>
        <source>出力</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>%1: このデバイスでは出来ません: %2</source>
        <translation>%1: not possible on this device: %2</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>デバイス切断（%1）: %2&#x3000;%3</source>
        <translation>Device lost (%1): %2  %3</translation>
    </message>
    <message>
        <source>再接続待ち</source>
        <translation>waiting</translation>
    </message>
    <message>
        <source>再接続なし</source>
        <translation>no reconnect</translation>
    </message>
    <message>
        <source>リモート回線: %1</source>
        <translation>Remote line: %1</translation>
    </message>
    <message>
        <source>（回線制御なし）</source>
        <translation> (no line control)</translation>
    </message>
    <message>
        <source>（未確認: %1）</source>
        <translation> (unconfirmed: %1)</translation>
    </message>
    <message>
        <source>ＩＮ入力表示（ＣＨ１・CH2）</source>
        <translation>Inputs (CH1, CH2)</translation>
    </message>
    <message>
        <source>CH1入力</source>
        <translation>CH1 in</translation>
    </message>
    <message>
        <source>CH2入力</source>
        <translation>CH2 in</translation>
    </message>
    <message>
        <source>低遅延モード: 有効</source>
        <translation>Low latency mode: on</translation>
    </message>
    <message>
        <source>低遅延モード: 無効（受信の時刻が最大16 ms遅れ、フレームがまとまることがあります）</source>
        <translation>Low latency mode: off (receive times up to 16 ms late; frames may merge)</translation>
    </message>
</context>
<context>
    <name>LogFileCommands</name>
    <message>
        <source>ﾛｸﾞﾌｧｲﾙ(*.LOG)</source>
        <translation>Log files (*.LOG)</translation>
    </message>
    <message>
        <source>ログファイルの読出</source>
        <translation>Open log file</translation>
    </message>
    <message>
        <source>ログファイルの書込</source>
        <translation>Save log file</translation>
    </message>
    <message>
        <source>保存しますか?</source>
        <translation>Save the data?</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙが開けません</source>
        <translation>Cannot open the file</translation>
    </message>
</context>
<context>
    <name>MacroDialog</name>
    <message>
        <source>Macro実行Diagram</source>
        <translation>Run macro</translation>
    </message>
    <message>
        <source>ファイル名を選んで実行</source>
        <translation>Run a chosen file</translation>
    </message>
    <message>
        <source>ファイルを開く</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>Macro実行</source>
        <translation>Run macro</translation>
    </message>
    <message>
        <source>リストＢＯＸから選んで実行</source>
        <translation>Run from the list</translation>
    </message>
    <message>
        <source>リスト追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>リスト削除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>文字入力完了</source>
        <translation>Text entered</translation>
    </message>
    <message>
        <source>表示切替</source>
        <translation>Switch display</translation>
    </message>
    <message>
        <source>MACRO停止</source>
        <translation>Stop macro</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>行 %1</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>行 %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
</context>
<context>
    <name>MacroNotice</name>
    <message>
        <source>%1: レジスタ番号 %2 は00〜99の外なので、実行しませんでした</source>
        <translation>%1: register %2 is outside 00 to 99, so it was not run</translation>
    </message>
    <message>
        <source>リテラルが%1文字を超えたので、%1文字までを使いました</source>
        <translation>The literal was longer than %1 characters; the first %1 were used</translation>
    </message>
    <message>
        <source>%1: 520バイトを超えた %2 バイトを切り捨てました</source>
        <translation>%1: the %2 bytes beyond 520 were dropped</translation>
    </message>
    <message>
        <source>%1: 位置か長さが負なので、実行しませんでした</source>
        <translation>%1: a negative position or length, so it was not run</translation>
    </message>
</context>
<context>
    <name>MacroText</name>
    <message>
        <source>10ｍS</source>
        <translation>10mS</translation>
    </message>
    <message>
        <source>Macroファイルを選んで下さい。</source>
        <translation>Choose a macro file.</translation>
    </message>
    <message>
        <source>Macroファイルが読めません。</source>
        <translation>The macro file cannot be read.</translation>
    </message>
    <message>
        <source>Macroファイル２０個までです。</source>
        <translation>At most 20 macro files.</translation>
    </message>
    <message>
        <source>Macroファイルのパスが長すぎます。</source>
        <translation>The macro file path is too long.</translation>
    </message>
    <message>
        <source>ＡＳＣ表示以外は切り替えしません。</source>
        <translation>Switches only in the ASC display.</translation>
    </message>
    <message>
        <source>送信出来ませんでした。</source>
        <translation>Could not send.</translation>
    </message>
    <message>
        <source>表示が時刻付きＡＳＣ表示なのでマクロは実行出来ません</source>
        <translation>Macros do not run in the timed ASC display</translation>
    </message>
    <message>
        <source>notepad.exeが見つかりませんでした。</source>
        <translation>notepad.exe was not found.</translation>
    </message>
    <message>
        <source>Ｍａｃｒｏファイル読み出し</source>
        <translation>Open macro file</translation>
    </message>
    <message>
        <source>Ｍａｃｒｏファイルリスト追加</source>
        <translation>Add macro file</translation>
    </message>
    <message>
        <source>Ｍａｃｒｏファイル編集</source>
        <translation>Edit macro file</translation>
    </message>
    <message>
        <source>初期化</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>処理完</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>処理中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>受信待</source>
        <translation>RX wait</translation>
    </message>
    <message>
        <source>時間待</source>
        <translation>Time wait</translation>
    </message>
    <message>
        <source>釦押待</source>
        <translation>Btn wait</translation>
    </message>
    <message>
        <source>外入待</source>
        <translation>Ext wait</translation>
    </message>
    <message>
        <source>文入待</source>
        <translation>Text wait</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>保存しますか?</source>
        <translation>Save the data?</translation>
    </message>
    <message>
        <source>設定ファイルを保存できませんでした。変更した設定は次回の起動に引き継がれません。

</source>
        <translation>The settings files could not be saved. Changed settings will not be there at the next start.

</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>開く(&amp;O)</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>サンプリング保存(&amp;V)</source>
        <translation>Sa&amp;ve Sampling...</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞ設定(&amp;I)</source>
        <translation>Page Set&amp;up...</translation>
    </message>
    <message>
        <source>印刷(&amp;P)</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>最初の行へ(&amp;F)</source>
        <translation>&amp;First Line</translation>
    </message>
    <message>
        <source>最後の行へ(&amp;B)</source>
        <translation>&amp;Bottom Line</translation>
    </message>
    <message>
        <source>検索(&amp;H)</source>
        <translation>Searc&amp;h...</translation>
    </message>
    <message>
        <source>再表示(R)</source>
        <translation>&amp;Redraw</translation>
    </message>
    <message>
        <source>表示ｸﾘｱ(&amp;C)</source>
        <translation>&amp;Clear Display</translation>
    </message>
    <message>
        <source>表示切替(&amp;L)</source>
        <translation>Disp&amp;lay Mode...</translation>
    </message>
    <message>
        <source>TimeChart(Ｔ)</source>
        <translation>&amp;TimeChart</translation>
    </message>
    <message>
        <source>表示倍率(&amp;Z)</source>
        <translation>&amp;Zoom</translation>
    </message>
    <message>
        <source>ﾁｪｯｸｻﾑ(C)</source>
        <translation>Chec&amp;ksum</translation>
    </message>
    <message>
        <source>数値変換(&amp;I)</source>
        <translation>Number Convers&amp;ion</translation>
    </message>
    <message>
        <source>サンプリング(&amp;S)</source>
        <translation>&amp;Sampling</translation>
    </message>
    <message>
        <source>送信(&amp;S)</source>
        <translation>&amp;Send</translation>
    </message>
    <message>
        <source>入力文字送信(&amp;A)</source>
        <translation>Send &amp;Typed...</translation>
    </message>
    <message>
        <source>設定文字送信(B)</source>
        <translation>Send &amp;Stored...</translation>
    </message>
    <message>
        <source>制御文字送信(&amp;D)</source>
        <translation>Send Control Characters...</translation>
    </message>
    <message>
        <source>ロング文字送信(C)</source>
        <translation>Send &amp;Long...</translation>
    </message>
    <message>
        <source>Macro実行(&amp;M)</source>
        <translation>Run &amp;Macro...</translation>
    </message>
    <message>
        <source>Txtﾌｧｲﾙ転送(&amp;F)</source>
        <translation>Text &amp;File Transfer</translation>
    </message>
    <message>
        <source>環境設定(&amp;K)</source>
        <translation>Se&amp;ttings</translation>
    </message>
    <message>
        <source>ComPort設定(&amp;C)</source>
        <translation>&amp;COM Ports...</translation>
    </message>
    <message>
        <source>Serial設定(&amp;S)</source>
        <translation>&amp;Serial</translation>
    </message>
    <message>
        <source>DCB設定(&amp;B)</source>
        <translation>DC&amp;B</translation>
    </message>
    <message>
        <source>状態表示(&amp;H)</source>
        <translation>Line Stat&amp;us</translation>
    </message>
    <message>
        <source>DioPort設定(&amp;D)</source>
        <translation>&amp;DIO Port...</translation>
    </message>
    <message>
        <source>固定文字設定(&amp;Ｔ)</source>
        <translation>Stored S&amp;trings...</translation>
    </message>
    <message>
        <source>Macro新規(N)</source>
        <translation>&amp;New Macro...</translation>
    </message>
    <message>
        <source>Macro編集(&amp;M)</source>
        <translation>Edit &amp;Macro...</translation>
    </message>
    <message>
        <source>自動ロギング設定(&amp;L)</source>
        <translation>Auto &amp;Logging...</translation>
    </message>
    <message>
        <source>サンプリング設定(P)</source>
        <translation>Sam&amp;pling...</translation>
    </message>
    <message>
        <source>チェックサム設定(&amp;E)</source>
        <translation>Check&amp;sum...</translation>
    </message>
    <message>
        <source>その他設定(&amp;I)</source>
        <translation>Other Sett&amp;ings...</translation>
    </message>
    <message>
        <source>画面設定(&amp;Ｇ)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>表示設定(&amp;I)</source>
        <translation>&amp;Display...</translation>
    </message>
    <message>
        <source>起動時設定(&amp;Z)</source>
        <translation>Si&amp;ze at Start...</translation>
    </message>
    <message>
        <source>表示切替</source>
        <translation>Fast/Slow</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;W)</source>
        <translation>&amp;Manual</translation>
    </message>
    <message>
        <source>このソフトについて(&amp;S)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>pcapng形式で保存(&amp;W)...</source>
        <translation>Save as pcapng(&amp;W)...</translation>
    </message>
    <message>
        <source>回線イベント(&amp;E)</source>
        <translation>Line Events(&amp;E)</translation>
    </message>
    <message>
        <source>自動ロギングでpcapngも保存(&amp;W)</source>
        <translation>Also save pcapng with auto logging(&amp;W)</translation>
    </message>
</context>
<context>
    <name>OtherSettingsDialogs</name>
    <message>
        <source>その他の設定</source>
        <translation>Other settings</translation>
    </message>
    <message>
        <source>終了時に「保存したか？」を問い合わせない</source>
        <translation>Do not ask to save at exit</translation>
    </message>
    <message>
        <source>COM番号はレジストリから取得する</source>
        <translation>Take COM numbers from the registry</translation>
    </message>
    <message>
        <source>テキスト送信時、送信文字を画面に表示する</source>
        <translation>Show text being sent on the screen</translation>
    </message>
    <message>
        <source>チェックサム（ASC）の英文字を小文字にする</source>
        <translation>Lower-case letters in ASC checksums</translation>
    </message>
    <message>
        <source>PDFの参照アプリの設定</source>
        <translation>PDF viewer</translation>
    </message>
    <message>
        <source>PDFのページ参照コマンド</source>
        <translation>PDF page option</translation>
    </message>
    <message>
        <source>自動ロギング設定</source>
        <translation>Auto logging</translation>
    </message>
    <message>
        <source>自動ロギング設定にする</source>
        <translation>Log automatically</translation>
    </message>
    <message>
        <source>保存するファイルの先頭文字</source>
        <translation>File name prefix</translation>
    </message>
    <message>
        <source>拡張子は「．LOG」です</source>
        <translation>The extension is &quot;.LOG&quot;</translation>
    </message>
    <message>
        <source>保存先はLOGのフォルダ内</source>
        <translation>Saved in the LOG folder</translation>
    </message>
</context>
<context>
    <name>PortConfigDialog</name>
    <message>
        <source>COM%1のプロパティ</source>
        <translation>COM%1 properties</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇数</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶数</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>マーク</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>スペース</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>ハードウェア</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>ビット/秒(&amp;B):</source>
        <translation>&amp;Bits per second:</translation>
    </message>
    <message>
        <source>データ ビット(&amp;D):</source>
        <translation>&amp;Data bits:</translation>
    </message>
    <message>
        <source>パリティ(&amp;P):</source>
        <translation>&amp;Parity:</translation>
    </message>
    <message>
        <source>ストップ ビット(&amp;S):</source>
        <translation>&amp;Stop bits:</translation>
    </message>
    <message>
        <source>フロー制御(&amp;F):</source>
        <translation>&amp;Flow control:</translation>
    </message>
    <message>
        <source>既定値に戻す(&amp;R)</source>
        <translation>&amp;Restore Defaults</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>PrintDisplay</name>
    <message>
        <source>通常使うﾌﾟﾘﾝﾀがないので、印刷できません。</source>
        <translation>There is no default printer, so nothing can be printed.</translation>
    </message>
    <message>
        <source>印刷はｷｬﾝｾﾙされました。</source>
        <translation>Printing was cancelled.</translation>
    </message>
    <message>
        <source>印刷中にｴﾗｰが発生しました。</source>
        <translation>An error occurred while printing.</translation>
    </message>
    <message>
        <source>印刷ｴﾗｰ</source>
        <translation>Print error</translation>
    </message>
    <message>
        <source>印刷中</source>
        <translation>Printing</translation>
    </message>
    <message>
        <source>
の %1 ﾍﾟｰｼﾞ目を
</source>
        <translation>
page %1 to
</translation>
    </message>
</context>
<context>
    <name>SamplingCommands</name>
    <message>
        <source>サンプリング保存</source>
        <translation>Save sampling</translation>
    </message>
    <message>
        <source>テキストファイル (*.txt);;すべてのファイル (*.*)</source>
        <translation>Text files (*.txt);;All files (*.*)</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙが開けません</source>
        <translation>Cannot open the file</translation>
    </message>
</context>
<context>
    <name>SamplingSettingsDialog</name>
    <message>
        <source>サンプリング設定画面</source>
        <translation>Sampling settings</translation>
    </message>
    <message>
        <source>取得数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>先頭文字</source>
        <translation>First byte</translation>
    </message>
    <message>
        <source>文字数</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>この機能はＣＨ１のみ</source>
        <translation>CH1 only</translation>
    </message>
    <message>
        <source>先頭文字は300以下設定します。</source>
        <translation>The first byte is at most 300.</translation>
    </message>
    <message>
        <source>文字数は20以下設定します。</source>
        <translation>At most 20 bytes.</translation>
    </message>
</context>
<context>
    <name>SamplingViewDialog</name>
    <message>
        <source>サンプリング設定画面</source>
        <translation>Sampling settings</translation>
    </message>
    <message>
        <source>データークリア</source>
        <translation>Clear data</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>SearchDialog</name>
    <message>
        <source>検索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>ASC検索</source>
        <translation>ASC search</translation>
    </message>
    <message>
        <source>HEX検索</source>
        <translation>HEX search</translation>
    </message>
</context>
<context>
    <name>SendPreviewView</name>
    <message>
        <source>送信されるバイト（16進）。青: ｽﾀｰﾄ・ｽﾄｯﾌﾟ・ﾁｪｯｸｻﾑ・ｴﾝﾄﾞ文字、赤: 16進数字2桁でない組から読んだバイト、下線の赤: 00 と読まれる文字、灰色の取り消し線: 送られない文字</source>
        <translation>The bytes sent (hex). Blue: start, stop, checksum and end characters; red: bytes read from a pair that is not two hex digits; red underline: characters read as 00; grey strike-through: characters not sent</translation>
    </message>
    <message>
        <source>&lt;div&gt;&lt;b&gt;%1&lt;/b&gt;: %2 （%3バイト）&lt;/div&gt;</source>
        <translation>&lt;div&gt;&lt;b&gt;%1&lt;/b&gt;: %2 (%3 bytes)&lt;/div&gt;</translation>
    </message>
    <message>
        <source>&lt;div&gt;&#x3000;16進で読むと: %1&lt;/div&gt;</source>
        <translation>&lt;div&gt;  read as hex: %1&lt;/div&gt;</translation>
    </message>
</context>
<context>
    <name>SendingCommands</name>
    <message>
        <source>シリアルポートＣＨ１がＯＰＥＮしていません</source>
        <translation>Serial port CH1 is not open</translation>
    </message>
    <message>
        <source>シリアルポートＣＨ２がＯＰＥＮしていません</source>
        <translation>Serial port CH2 is not open</translation>
    </message>
    <message>
        <source>Text送信完了。</source>
        <translation>Text sent.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙが読み出せません。</source>
        <translation>Cannot read the file.</translation>
    </message>
    <message>
        <source>転送ファイルの読出</source>
        <translation>File to transfer</translation>
    </message>
    <message>
        <source>ﾃｷｽﾄﾌｧｲﾙ(*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>ＣＨ１はテキスト転送中です。</source>
        <translation>CH1 is transferring a text.</translation>
    </message>
    <message>
        <source>ＣＨ２はテキスト転送中です。</source>
        <translation>CH2 is transferring a text.</translation>
    </message>
    <message>
        <source>ファイル名選択できません</source>
        <translation>Cannot choose a file name</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙが開けません</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>ポートが閉じられたため、転送を中止しました（%1）。</source>
        <translation>The port was closed, so the transfer stopped (%1).</translation>
    </message>
</context>
<context>
    <name>StartupSequence</name>
    <message>
        <source>CH1のポートがopenしません。</source>
        <translation>CH1 port does not open.</translation>
    </message>
    <message>
        <source>CH2のポートがopenしません。</source>
        <translation>CH2 port does not open.</translation>
    </message>
    <message>
        <source>CH1のポート設定が出来ません。</source>
        <translation>CH1 port cannot be set.</translation>
    </message>
    <message>
        <source>CH2のポート設定が出来ません。</source>
        <translation>CH2 port cannot be set.</translation>
    </message>
    <message>
        <source>CH1のスレッドが出来ません。</source>
        <translation>CH1 thread cannot start.</translation>
    </message>
    <message>
        <source>CH2のスレッドが出来ません。</source>
        <translation>CH2 thread cannot start.</translation>
    </message>
    <message>
        <source>CH1のポート番号が違います。</source>
        <translation>CH1 port number is wrong.</translation>
    </message>
    <message>
        <source>CH2のポート番号が違います。</source>
        <translation>CH2 port number is wrong.</translation>
    </message>
    <message>
        <source>CH1ノーコメント</source>
        <translation>CH1 no comment</translation>
    </message>
    <message>
        <source>CH2ノーコメント</source>
        <translation>CH2 no comment</translation>
    </message>
    <message>
        <source>設定ファイル（１）読出中</source>
        <translation>Reading settings (1)</translation>
    </message>
    <message>
        <source>Quellorn.datがありません。</source>
        <translation>Quellorn.dat is missing.</translation>
    </message>
    <message>
        <source>設定ファイル（２）読出中</source>
        <translation>Reading settings (2)</translation>
    </message>
    <message>
        <source>Quellorn1.datがありません。</source>
        <translation>Quellorn1.dat is missing.</translation>
    </message>
    <message>
        <source>設定ファイル（３）読出中</source>
        <translation>Reading settings (3)</translation>
    </message>
    <message>
        <source>Quellorn2.datがありません。</source>
        <translation>Quellorn2.dat is missing.</translation>
    </message>
    <message>
        <source>CH1:COM%1:設定中</source>
        <translation>CH1:COM%1:setting up</translation>
    </message>
    <message>
        <source>CH1:COM%1:設定完了</source>
        <translation>CH1:COM%1:ready</translation>
    </message>
    <message>
        <source>CH2:未設定</source>
        <translation>CH2:not used</translation>
    </message>
    <message>
        <source>CH2:COM%1:設定中</source>
        <translation>CH2:COM%1:setting up</translation>
    </message>
    <message>
        <source>CH2:COM%1:設定完了</source>
        <translation>CH2:COM%1:ready</translation>
    </message>
    <message>
        <source>ＳＰＡＲＥ</source>
        <translation>SPARE</translation>
    </message>
    <message>
        <source>さースタートだ！         </source>
        <translation>Let&apos;s start!             </translation>
    </message>
</context>
<context>
    <name>StatusText</name>
    <message>
        <source>Pr奇 </source>
        <translation>PrOd </translation>
    </message>
    <message>
        <source>Pr偶 </source>
        <translation>PrEv </translation>
    </message>
    <message>
        <source>PrＭ </source>
        <translation>PrMk </translation>
    </message>
    <message>
        <source>Pr無 </source>
        <translation>PrNo </translation>
    </message>
    <message>
        <source>ASC表示    </source>
        <translation>ASC view   </translation>
    </message>
    <message>
        <source>HEX表示    </source>
        <translation>HEX view   </translation>
    </message>
    <message>
        <source>時刻ASC表示</source>
        <translation>Timed ASC  </translation>
    </message>
    <message>
        <source>| 高速表示</source>
        <translation>| Fast    </translation>
    </message>
    <message>
        <source>| 低速表示</source>
        <translation>| Slow    </translation>
    </message>
    <message>
        <source>| ﾗｲﾝﾓﾆﾀＴ接続</source>
        <translation>| Monitor T   </translation>
    </message>
    <message>
        <source>| ﾗｲﾝﾓﾆﾀ中継式</source>
        <translation>| Relay mon.  </translation>
    </message>
</context>
<context>
    <name>TextTransferProgress</name>
    <message>
        <source>%1 / %2 バイト</source>
        <translation>%1 / %2 bytes</translation>
    </message>
    <message>
        <source>Txtﾌｧｲﾙ転送 CH%1</source>
        <translation>Text file transfer CH%1</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ViewLogCommands</name>
    <message>
        <source>高速表示は最後の行へ移行しません。</source>
        <translation>The fast display does not go to the last line.</translation>
    </message>
    <message>
        <source>高速表示は検索機能は使えません。</source>
        <translation>The fast display cannot search.</translation>
    </message>
    <message>
        <source>検出文字列が見つかりません</source>
        <translation>Text not found</translation>
    </message>
    <message>
        <source>表示をクリアしますか?</source>
        <translation>Clear the display?</translation>
    </message>
</context>
</TS>
