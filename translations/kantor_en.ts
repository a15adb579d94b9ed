<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>kantor::app::BankImportDialog</name>
    <message>
        <source>Vxb作成ﾌﾟﾛｼﾞｪｸﾄ･ﾌｧｲﾙ (*.vxbprj)</source>
        <translation>Voice Data Maker Project File (*.vxbprj)</translation>
    </message>
    <message>
        <source>音源ﾌｫﾙﾀﾞのｲﾝﾎﾟｰﾄ (oto.ini)</source>
        <translation>Import a Voice Bank Folder (oto.ini)</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>音源ﾌｫﾙﾀﾞ：</source>
        <translation>Bank folder:</translation>
    </message>
    <message>
        <source>character.txt の名前 (なければﾌｫﾙﾀﾞ名)</source>
        <translation>the name in character.txt (else the folder name)</translation>
    </message>
    <message>
        <source>Voice名：</source>
        <translation>Voice name:</translation>
    </message>
    <message>
        <source>Voice として追加</source>
        <translation>Add as a voice</translation>
    </message>
    <message>
        <source>Voice Data 作成ﾌﾟﾛｼﾞｪｸﾄとして保存</source>
        <translation>Save as a voice data maker project</translation>
    </message>
    <message>
        <source>作成：</source>
        <translation>Make:</translation>
    </message>
    <message>
        <source>ｲﾝﾎﾟｰﾄ</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>結果：</source>
        <translation>Result:</translation>
    </message>
    <message>
        <source>音源ﾌｫﾙﾀﾞ</source>
        <translation>Voice Bank Folder</translation>
    </message>
    <message>
        <source>音源ﾌｫﾙﾀﾞが選択されていません。</source>
        <translation>No voice bank folder has been chosen.</translation>
    </message>
    <message>
        <source>ｲﾝﾎﾟｰﾄできませんでした: %1</source>
        <translation>The import failed: %1</translation>
    </message>
</context>
<context>
    <name>kantor::app::ChListSettingsDialog</name>
    <message>
        <source>ChListｳｨﾝﾄﾞｳの設定</source>
        <translation>Channel List Settings</translation>
    </message>
    <message>
        <source>ﾊﾞｰ表示</source>
        <translation>Bars</translation>
    </message>
    <message>
        <source>ﾊﾟﾀｰﾝ１</source>
        <translation>Pattern 1</translation>
    </message>
    <message>
        <source>ﾊﾟﾀｰﾝ２</source>
        <translation>Pattern 2</translation>
    </message>
    <message>
        <source>ｲﾍﾞﾝﾄ色の範囲</source>
        <translation>Event colour</translation>
    </message>
    <message>
        <source>Ch全体</source>
        <translation>Whole channel</translation>
    </message>
    <message>
        <source>ｲﾍﾞﾝﾄのある範囲のみ</source>
        <translation>Only where there are events</translation>
    </message>
    <message>
        <source>自動ｽｸﾛｰﾙ</source>
        <translation>Auto scroll</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::ChScoreSettingsDialog</name>
    <message>
        <source>ChScoreｳｨﾝﾄﾞｳの設定</source>
        <translation>Channel Score Settings</translation>
    </message>
    <message>
        <source>自動ｽｸﾛｰﾙ</source>
        <translation>Auto scroll</translation>
    </message>
    <message>
        <source>常に自動ｽｸﾛｰﾙ </source>
        <translation>Always</translation>
    </message>
    <message>
        <source>演奏時のみ</source>
        <translation>Only while playing</translation>
    </message>
    <message>
        <source>行わない</source>
        <translation>Never</translation>
    </message>
    <message>
        <source>VoxWordを表示する</source>
        <translation>Show VoxWords</translation>
    </message>
    <message>
        <source>ひらがな</source>
        <translation>Hiragana</translation>
    </message>
    <message>
        <source>ﾛｰﾏ字</source>
        <translation>Romaji</translation>
    </message>
    <message>
        <source>ﾋﾟｯﾁﾗｲﾝを表示する</source>
        <translation>Show the pitch line</translation>
    </message>
    <message>
        <source>歌われる音程（ビブラート、ピッチスムージング）を線でノートの上に描きます</source>
        <translation>Draws the pitch sung (vibrato, pitch smoothing) as a line over the notes</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::EffectorWindow</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Sonnetra 外部ｴﾌｪｸﾀ ﾌﾟﾗｸﾞｲﾝ (*.ncp)</source>
        <translation>Sonnetra External Effect Plug-in (*.ncp)</translation>
    </message>
</context>
<context>
    <name>kantor::app::ExpressionForm</name>
    <message>
        <source>ﾃﾞﾌｫﾙﾄ使用</source>
        <translation>Use default</translation>
    </message>
    <message>
        <source>ビブラート</source>
        <translation>Vibrato</translation>
    </message>
    <message>
        <source>深さ</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>速さ</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>遅れ</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>ﾌｪｰﾄﾞｲﾝ</source>
        <translation>Fade-in</translation>
    </message>
    <message>
        <source>ピッチスムージング</source>
        <translation>Pitch smoothing</translation>
    </message>
    <message>
        <source>裏声で歌う</source>
        <translation>Sing in falsetto</translation>
    </message>
    <message>
        <source>裏声</source>
        <translation>Falsetto</translation>
    </message>
    <message>
        <source>時間</source>
        <translation>Timing</translation>
    </message>
    <message>
        <source>音程</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>パワー</source>
        <translation>Power</translation>
    </message>
    <message>
        <source>アタック</source>
        <translation>Attack</translation>
    </message>
    <message>
        <source>音節のパワー</source>
        <translation>Syllable power</translation>
    </message>
    <message>
        <source>子音の速さ</source>
        <translation>Consonant speed</translation>
    </message>
</context>
<context>
    <name>kantor::app::ItemPropertiesDialog</name>
    <message>
        <source>ﾏｰｶｰを自動で置きます</source>
        <translation>Places the markers automatically</translation>
    </message>
    <message>
        <source>Volume(%)： </source>
        <translation>Volume (%): </translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::NoteSettingsDialog</name>
    <message>
        <source>ノート設定( %1 )</source>
        <translation>Note Settings (%1)</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>kantor::app::NoteVoiceWindow</name>
    <message>
        <source>長さ比：</source>
        <translation>Length ratio:</translation>
    </message>
    <message>
        <source>音量(%)：</source>
        <translation>Volume (%):</translation>
    </message>
    <message>
        <source>ﾉｰﾄ音量(%)</source>
        <translation>Note volume (%)</translation>
    </message>
    <message>
        <source>フレーズの先頭</source>
        <translation>Phrase start</translation>
    </message>
    <message>
        <source>ｸﾞﾙｰﾌﾟ</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Set...</translation>
    </message>
    <message>
        <source>ﾉｰﾄVo.</source>
        <translation>Note Vo.</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ</source>
        <translation>Phrase</translation>
    </message>
    <message>
        <source>入力ﾛｰﾏ字一覧(&amp;R)</source>
        <translation>&amp;Romaji List</translation>
    </message>
    <message>
        <source>ノート長さ・位置(&amp;L)</source>
        <translation>Note &amp;Length/Position</translation>
    </message>
    <message>
        <source>ノート設定(&amp;N)</source>
        <translation>&amp;Note Settings</translation>
    </message>
    <message>
        <source>フレーズ設定(&amp;P)</source>
        <translation>&amp;Phrase Settings</translation>
    </message>
    <message>
        <source>簡易入力(&amp;E)</source>
        <translation>&amp;Quick Input</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞWaveﾌｧｲﾙ</source>
        <translation>Phrase Wave File</translation>
    </message>
    <message>
        <source>前へ(&amp;A)[F4]</source>
        <translation>Pre&amp;vious [F4]</translation>
    </message>
    <message>
        <source>次へ(&amp;S)[F5]</source>
        <translation>Ne&amp;xt [F5]</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>ﾉｰﾄ長： %1 </source>
        <translation>Note length: %1 </translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ (*.wav)</source>
        <translation>Wave File (*.wav)</translation>
    </message>
</context>
<context>
    <name>kantor::app::OneClickLengthDialog</name>
    <message>
        <source>ﾜﾝｸﾘｯｸ・ﾉｰﾄ長の設定</source>
        <translation>One-Click Note Lengths</translation>
    </message>
    <message>
        <source>ﾉｰﾄ長 (tick, 0 = なし)</source>
        <translation>Note length (ticks, 0 = none)</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::RecordingWindow</name>
    <message>
        <source>レコーディング</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>すべて選択</source>
        <translation>Select All</translation>
    </message>
    <message>
        <source>逆順</source>
        <translation>Reverse</translation>
    </message>
    <message>
        <source>ｶﾞｲﾄﾞ設定</source>
        <translation>Guide Instrument...</translation>
    </message>
    <message>
        <source>入力ﾃﾞﾊﾞｲｽ</source>
        <translation>Input device</translation>
    </message>
    <message>
        <source>既定の入力ﾃﾞﾊﾞｲｽ</source>
        <translation>Default input device</translation>
    </message>
    <message>
        <source>入力ﾚﾍﾞﾙ</source>
        <translation>Input level</translation>
    </message>
    <message>
        <source>ｶﾞｲﾄﾞ: %1</source>
        <translation>Guide: %1</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ウェーブ入力デバイスを開けません。</source>
        <translation>The wave input device cannot be opened.</translation>
    </message>
    <message>
        <source>ｻｳﾝﾄﾞﾃﾞﾊﾞｲｽがありません。</source>
        <translation>There is no sound device.</translation>
    </message>
    <message>
        <source>録音中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>再生中</source>
        <translation>Playing</translation>
    </message>
    <message>
        <source>%1  %2 byte</source>
        <translation>%1  %2 bytes</translation>
    </message>
</context>
<context>
    <name>kantor::app::RomajiListWindow</name>
    <message>
        <source>入力ﾛｰﾏ字一覧</source>
        <translation>Romaji List</translation>
    </message>
</context>
<context>
    <name>kantor::app::VoiceBuildTargetDialog</name>
    <message>
        <source>Voice Data 作成</source>
        <translation>Build Voice Data</translation>
    </message>
    <message>
        <source>新規作成</source>
        <translation>A new voice</translation>
    </message>
    <message>
        <source>入れ替え（上書き保存）</source>
        <translation>Replace a voice (overwrite)</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::VoiceLibraryDialog</name>
    <message>
        <source>My Kantorellion Voice Dataﾌｧｲﾙ (*.vxb)</source>
        <translation>My Kantorellion Voice Data File (*.vxb)</translation>
    </message>
    <message>
        <source>Voice： </source>
        <translation>Voice: </translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::VoiceMakerWindow</name>
    <message>
        <source>Vxb作成ﾌﾟﾛｼﾞｪｸﾄ･ﾌｧｲﾙ (*.vxbprj)</source>
        <translation>Voice Data Maker Project File (*.vxbprj)</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ (*.wav)</source>
        <translation>Wave File (*.wav)</translation>
    </message>
    <message>
        <source>Voice Data 作成</source>
        <translation>Voice Data Maker</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規ﾌﾟﾛｼﾞｪｸﾄ(&amp;N)</source>
        <translation>&amp;New Project</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｼﾞｪｸﾄを開く(&amp;O)</source>
        <translation>&amp;Open Project...</translation>
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
        <source>VoiceDataの作成</source>
        <translation>Build Voice Data...</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Voice名</source>
        <translation>Voice name</translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ2</source>
        <translation>Comment 2</translation>
    </message>
    <message>
        <source>音程</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>ｺｰﾄﾞ - 表記</source>
        <translation>Code - Notation</translation>
    </message>
    <message>
        <source>小文字ｺｰﾄﾞ</source>
        <translation>Lower-case codes</translation>
    </message>
    <message>
        <source>ｺｰﾄﾞ</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>表記</source>
        <translation>Notation</translation>
    </message>
    <message>
        <source>追加 →</source>
        <translation>Add →</translation>
    </message>
    <message>
        <source>ｺｰﾄﾞ - 表記 の変更</source>
        <translation>Change Code</translation>
    </message>
    <message>
        <source>ﾌﾞﾗﾝｸ挿入</source>
        <translation>Insert Blank</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾊﾟﾃｨ</source>
        <translation>Properties...</translation>
    </message>
    <message>
        <source>録音</source>
        <translation>Record...</translation>
    </message>
    <message>
        <source>視聴</source>
        <translation>Listen</translation>
    </message>
</context>
</TS>
