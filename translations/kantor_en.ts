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
    <message>
        <source>音源の識別子: %1</source>
        <translation>Voice identifier: %1</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｼﾞｪｸﾄ: %1</source>
        <translation>Project: %1</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>新しい音源「%1」をこのソングで使いますか？</source>
        <translation>Use the new voice &quot;%1&quot; for this song?</translation>
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
    <name>kantor::app::ChannelListWindow</name>
    <message>
        <source>表示する小節を減らす</source>
        <translation>Show fewer measures</translation>
    </message>
    <message>
        <source>表示する小節を増やす</source>
        <translation>Show more measures</translation>
    </message>
    <message>
        <source>表示するﾁｬﾝﾈﾙを減らす</source>
        <translation>Show fewer channels</translation>
    </message>
    <message>
        <source>表示するﾁｬﾝﾈﾙを増やす</source>
        <translation>Show more channels</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙに歌詞があります。ﾁｬﾝﾈﾙ %1 の歌詞にしますか？</source>
        <translation>The MIDI file has lyrics. Sing them on channel %1?</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>ｿﾝｸﾞﾃﾞﾌｫﾙﾄの設定(&amp;D)</source>
        <translation>Song &amp;Defaults...</translation>
    </message>
    <message>
        <source>歌詞の挿入(&amp;L)</source>
        <translation>Insert &amp;Lyrics...</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙの挿入(&amp;W)</source>
        <translation>Insert &amp;Wave Files...</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ・ﾜｰﾄﾞ一覧表示（&amp;W）</source>
        <translation>Phrase W&amp;ord List...</translation>
    </message>
</context>
<context>
    <name>kantor::app::ChannelScoreWindow</name>
    <message>
        <source>表示する小節を減らす</source>
        <translation>Show fewer measures</translation>
    </message>
    <message>
        <source>表示する小節を増やす</source>
        <translation>Show more measures</translation>
    </message>
    <message>
        <source>表示する音域を狭める</source>
        <translation>Show fewer keys</translation>
    </message>
    <message>
        <source>表示する音域を広げる</source>
        <translation>Show more keys</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ %1</source>
        <translation>Phrase %1</translation>
    </message>
    <message>
        <source>ﾁｬﾝﾈﾙﾃﾞﾌｫﾙﾄの設定(&amp;D)</source>
        <translation>Channel &amp;Defaults...</translation>
    </message>
    <message>
        <source>歌詞の挿入(&amp;L)</source>
        <translation>Insert &amp;Lyrics...</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙの挿入(&amp;W)</source>
        <translation>Insert &amp;Wave Files...</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ・ﾜｰﾄﾞ一覧表示（&amp;W）</source>
        <translation>Phrase W&amp;ord List...</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ一括変更(&amp;P)</source>
        <translation>Change All &amp;Phrases...</translation>
    </message>
    <message>
        <source>ﾉｰﾄ一括変更(&amp;N)</source>
        <translation>Change All &amp;Notes...</translation>
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
    <name>kantor::app::EmptySongDialog</name>
    <message>
        <source>新規作成 (空の曲)</source>
        <translation>New (empty song)</translation>
    </message>
    <message>
        <source>テンポ（4分音符/分）</source>
        <translation>Tempo (quarter notes a minute)</translation>
    </message>
    <message>
        <source>拍子</source>
        <translation>Time signature</translation>
    </message>
    <message>
        <source>長さ（小節）</source>
        <translation>Length (measures)</translation>
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
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>このノートは「表情をつける」の値で歌われます（設定 → 音質の設定）。</source>
        <translation>The note is sung with this value of Add expression (Settings → Sound Quality).</translation>
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
    <name>kantor::app::KantorApp</name>
    <message>
        <source>ｻｳﾝﾄﾞﾃﾞﾊﾞｲｽがありません。音を出さずに実時間で再生します。</source>
        <translation>No sound device: playing in real time without sound.</translation>
    </message>
</context>
<context>
    <name>kantor::app::LanguageMenu</name>
    <message>
        <source>言語 (Language)</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>kantor::app::LyricInputWindow</name>
    <message>
        <source>歌詞入力</source>
        <translation>Lyric Input</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
</context>
<context>
    <name>kantor::app::MainPanel</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新規作成（*.midを開く）</source>
        <translation>New (Open *.mid)...</translation>
    </message>
    <message>
        <source>歌声ﾌｧｲﾙ（*.uta）を開く</source>
        <translation>Open Song File (*.uta)...</translation>
    </message>
    <message>
        <source>MusicXMLの読み込み（*.musicxml, *.mxl）...</source>
        <translation>Import MusicXML (*.musicxml, *.mxl)...</translation>
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
        <source>歌詞付きMidiﾌｧｲﾙの書き出し...</source>
        <translation>Export MIDI File with Lyrics...</translation>
    </message>
    <message>
        <source>最近使ったﾌｧｲﾙ(&amp;F)</source>
        <translation>Recent &amp;Files</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ｳｨﾝﾄﾞｳ(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>ﾁｬﾝﾈﾙﾘｽﾄｳｨﾝﾄﾞｳ(&amp;L)</source>
        <translation>Channel &amp;List</translation>
    </message>
    <message>
        <source>ﾀｲﾄﾙ情報ｳｨﾝﾄﾞｳ(&amp;T)</source>
        <translation>&amp;Title Information</translation>
    </message>
    <message>
        <source>ﾐｭｰﾄ&amp;&amp;ｿﾛ設定ｳｨﾝﾄﾞｳ(&amp;M)</source>
        <translation>&amp;Mute &amp;&amp; Solo</translation>
    </message>
    <message>
        <source>Wave Volumeｳｨﾝﾄﾞｳ(&amp;V)</source>
        <translation>Wave &amp;Volume</translation>
    </message>
    <message>
        <source>歌詞入力ｳｨﾝﾄﾞｳ(&amp;R)</source>
        <translation>Ly&amp;ric Input</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>MidiとWaveの同期補正</source>
        <translation>MIDI and Wave Sync Correction...</translation>
    </message>
    <message>
        <source>Midi出力先の選択...</source>
        <translation>MIDI Output...</translation>
    </message>
    <message>
        <source>ChListｳｨﾝﾄﾞｳの設定(&amp;L)</source>
        <translation>Channel &amp;List Settings...</translation>
    </message>
    <message>
        <source>ChScoreｳｨﾝﾄﾞｳの設定(&amp;S)</source>
        <translation>Channel &amp;Score Settings...</translation>
    </message>
    <message>
        <source>音質の設定(&amp;H)</source>
        <translation>Sound &amp;Quality...</translation>
    </message>
    <message>
        <source>外部ｴﾌｪｸﾀの設定(&amp;E)</source>
        <translation>&amp;Effect Plug-ins...</translation>
    </message>
    <message>
        <source>Voice(&amp;V)</source>
        <translation>&amp;Voice</translation>
    </message>
    <message>
        <source>Voice Data の作成</source>
        <translation>Make Voice Data...</translation>
    </message>
    <message>
        <source>ｴｸｽﾎﾟｰﾄ</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>ｲﾝﾎﾟｰﾄ</source>
        <translation>Import...</translation>
    </message>
    <message>
        <source>音源ﾌｫﾙﾀﾞのｲﾝﾎﾟｰﾄ (oto.ini)...</source>
        <translation>Import Voice Bank Folder (oto.ini)...</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete...</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>My Kantorellion について (Web Site)</source>
        <translation>About My Kantorellion (Web Site)</translation>
    </message>
    <message>
        <source>ｵﾝﾗｲﾝ・ﾍﾙﾌﾟ</source>
        <translation>Online Help</translation>
    </message>
    <message>
        <source>ReadMe.html (ﾛｰｶﾙ)</source>
        <translation>ReadMe.html (Local)</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報 ...</source>
        <translation>Version Information...</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>歌声データを保存しますか？</source>
        <translation>Save the song data?</translation>
    </message>
    <message>
        <source>Utaﾌｧｲﾙ (*.uta)</source>
        <translation>Uta files (*.uta)</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに格納してください。</source>
        <translation>Save it in the same folder as the MIDI file.</translation>
    </message>
    <message>
        <source>標準Midiﾌｧｲﾙ (*.mid *.MID *.Mid *.kar *.KAR)</source>
        <translation>Standard MIDI files (*.mid *.MID *.Mid *.kar *.KAR)</translation>
    </message>
    <message>
        <source>歌声ﾌｧｲﾙ (*.uta *.UTA)</source>
        <translation>Song files (*.uta *.UTA)</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ (*.wav)</source>
        <translation>Wave files (*.wav)</translation>
    </message>
    <message>
        <source>標準Midiﾌｧｲﾙ (*.mid)</source>
        <translation>Standard MIDI files (*.mid)</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Version Information</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟﾌｧｲﾙが見つかりません。</source>
        <translation>The help file was not found.</translation>
    </message>
    <message>
        <source>歌詞つきMidiﾌｧｲﾙの書き出し</source>
        <translation>Export MIDI File with Lyrics</translation>
    </message>
    <message>
        <source>%1 に書き出しました。</source>
        <translation>Written to %1.</translation>
    </message>
    <message>
        <source>新規作成 (空の曲)</source>
        <translation>New (empty song)</translation>
    </message>
</context>
<context>
    <name>kantor::app::MidiInstrumentDialog</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::MidiOutputDialog</name>
    <message>
        <source>Midi出力先の選択</source>
        <translation>MIDI Output</translation>
    </message>
    <message>
        <source>内蔵シンセサイザー (General MIDI SoundFont)</source>
        <translation>Built-in synthesizer (General MIDI SoundFont)</translation>
    </message>
    <message>
        <source>ALSA シーケンサーのポート：</source>
        <translation>ALSA sequencer port:</translation>
    </message>
    <message>
        <source>外部シンセサイザーでは「MidiとWaveの同期補正」で遅延を合わせてください。</source>
        <translation>With an external synthesizer, match its delay in &quot;MIDI and Wave Sync Correction&quot;.</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>ALSA のポートは「クライアント:ポート」で入力してください。（例 128:0）</source>
        <translation>Enter the ALSA port as &quot;client:port&quot; (for example 128:0).</translation>
    </message>
</context>
<context>
    <name>kantor::app::NoteBatchDialog</name>
    <message>
        <source>ﾉｰﾄ一括変更</source>
        <translation>Change All Notes</translation>
    </message>
    <message>
        <source>ﾃﾞﾌｫﾙﾄ使用にする</source>
        <translation>Use the Default</translation>
    </message>
    <message>
        <source>ビブラート</source>
        <translation>Vibrato</translation>
    </message>
    <message>
        <source>パワーピッチスムージング</source>
        <translation>Power/Pitch Smoothing</translation>
    </message>
    <message>
        <source>裏声</source>
        <translation>Falsetto</translation>
    </message>
    <message>
        <source>初期値にする</source>
        <translation>Set to Initial</translation>
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
        <source>パワー比</source>
        <translation>Power Ratio</translation>
    </message>
    <message>
        <source>変更なし</source>
        <translation>No change</translation>
    </message>
    <message>
        <source>初期値</source>
        <translation>Initial value</translation>
    </message>
    <message>
        <source>数値変更</source>
        <translation>Set value</translation>
    </message>
    <message>
        <source>比率変更</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>初期値(%1)</source>
        <translation>Initial (%1)</translation>
    </message>
    <message>
        <source>アタックタイム</source>
        <translation>Attack Time</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::NoteLengthPosDialog</name>
    <message>
        <source>ノート長さ・位置</source>
        <translation>Note Length and Position</translation>
    </message>
    <message>
        <source>長さ調整</source>
        <translation>Adjust length</translation>
    </message>
    <message>
        <source>位置調整</source>
        <translation>Adjust position</translation>
    </message>
    <message>
        <source>開始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>End</translation>
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
    <message>
        <source>音質の設定...</source>
        <translation>Sound Quality...</translation>
    </message>
    <message>
        <source>表情をつける: %1</source>
        <translation>Add expression: %1</translation>
    </message>
    <message>
        <source>入</source>
        <translation>On</translation>
    </message>
    <message>
        <source>切</source>
        <translation>Off</translation>
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
    <name>kantor::app::PhraseBatchDialog</name>
    <message>
        <source>ﾌﾚｰｽﾞ一括変更</source>
        <translation>Change All Phrases</translation>
    </message>
    <message>
        <source>ﾃﾞﾌｫﾙﾄ使用にする</source>
        <translation>Use the Default</translation>
    </message>
    <message>
        <source>性別</source>
        <translation>Gender</translation>
    </message>
    <message>
        <source>声質</source>
        <translation>Voice quality</translation>
    </message>
    <message>
        <source>サビフレーズ</source>
        <translation>Chorus phrase</translation>
    </message>
    <message>
        <source>裏声</source>
        <translation>Falsetto</translation>
    </message>
    <message>
        <source>ラップ</source>
        <translation>Rap</translation>
    </message>
    <message>
        <source>せりふ</source>
        <translation>Spoken words</translation>
    </message>
    <message>
        <source>前ノリ(-)・後ノリ(+)</source>
        <translation>Early (-) / Late (+)</translation>
    </message>
    <message>
        <source>パワーピッチスムージング</source>
        <translation>Power/Pitch Smoothing</translation>
    </message>
    <message>
        <source>ｸﾚｯｼｪﾝﾄﾞ/ﾃﾞｸﾚｯｼｪﾝﾄﾞ</source>
        <translation>Crescendo/Decrescendo</translation>
    </message>
    <message>
        <source>外部ｴﾌｪｸﾀ</source>
        <translation>Effects</translation>
    </message>
    <message>
        <source>ﾁｭｰﾆﾝｸﾞ（A=）</source>
        <translation>Tuning (A=)</translation>
    </message>
    <message>
        <source>変更なし</source>
        <translation>No change</translation>
    </message>
    <message>
        <source>数値変更</source>
        <translation>Set value</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞWaveﾌｧｲﾙ名</source>
        <translation>Phrase Wave File Name</translation>
    </message>
    <message>
        <source>変更する</source>
        <translation>Change to</translation>
    </message>
    <message>
        <source>クリアする</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>＋ 001 ～ 999</source>
        <translation>+ 001 to 999</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::PhraseWordDialog</name>
    <message>
        <source>ﾌﾚｰｽﾞ・ﾜｰﾄﾞの選択</source>
        <translation>Choose Phrase Words</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ･ﾜｰﾄﾞ一覧</source>
        <translation>Phrase Word List</translation>
    </message>
    <message>
        <source>現在のﾁｬﾝﾈﾙ</source>
        <translation>This channel</translation>
    </message>
    <message>
        <source>すべてのﾁｬﾝﾈﾙ</source>
        <translation>All channels</translation>
    </message>
    <message>
        <source>選択(&amp;S)</source>
        <translation>&amp;Select</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>kantor::app::QtPrompt</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::QuickInputDialog</name>
    <message>
        <source>ﾌﾚｰｽﾞ簡易入力</source>
        <translation>Phrase Quick Input</translation>
    </message>
    <message>
        <source>ローマ字</source>
        <translation>Romaji</translation>
    </message>
    <message>
        <source>ひらがな</source>
        <translation>Hiragana</translation>
    </message>
    <message>
        <source>入力ﾛｰﾏ字一覧</source>
        <translation>Romaji List...</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ・ﾜｰﾄﾞの参照選択</source>
        <translation>Pick Phrase Words...</translation>
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
    <name>kantor::app::ScoreEditController</name>
    <message>
        <source>ノート編集</source>
        <translation>Edit notes</translation>
    </message>
    <message>
        <source>ノートを書く・動かす・伸ばす（Alt+クリックで分割、Delete で削除）</source>
        <translation>Write, move and stretch notes (Alt+click splits, Delete deletes)</translation>
    </message>
    <message>
        <source>グリッド</source>
        <translation>Grid</translation>
    </message>
    <message>
        <source>4分</source>
        <translation>1/4</translation>
    </message>
    <message>
        <source>8分</source>
        <translation>1/8</translation>
    </message>
    <message>
        <source>16分</source>
        <translation>1/16</translation>
    </message>
    <message>
        <source>32分</source>
        <translation>1/32</translation>
    </message>
    <message>
        <source>8分3連</source>
        <translation>1/8 triplet</translation>
    </message>
    <message>
        <source>16分3連</source>
        <translation>1/16 triplet</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>Off</translation>
    </message>
</context>
<context>
    <name>kantor::app::ScorePartDialog</name>
    <message>
        <source>MusicXMLの読み込み</source>
        <translation>Import MusicXML</translation>
    </message>
    <message>
        <source>%1 の歌うパートを選んでください。</source>
        <translation>Choose the part of %1 that sings.</translation>
    </message>
    <message>
        <source>パート</source>
        <translation>Part</translation>
    </message>
    <message>
        <source>音符</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>歌詞</source>
        <translation>Lyrics</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>あり</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>あり（%1番）</source>
        <translation>verses %1</translation>
    </message>
    <message>
        <source>歌う歌詞:</source>
        <translation>Verse sung:</translation>
    </message>
    <message>
        <source>繰り返しを演奏する（反復・番号括弧・D.C.・D.S.）</source>
        <translation>Play the repeats (repeat signs, endings, D.C., D.S.)</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1番</source>
        <translation>verse %1</translation>
    </message>
</context>
<context>
    <name>kantor::app::SoundQualityDialog</name>
    <message>
        <source>音質設定</source>
        <translation>Sound Quality</translation>
    </message>
    <message>
        <source>フォルマントを保つ (PSOLA)</source>
        <translation>Keep formants (PSOLA)</translation>
    </message>
    <message>
        <source>音程を変えても声の響き（フォルマント）を変えずに歌います。切ると見本の音声を速く・遅く読んで音程を合わせます（従来の方式）。</source>
        <translation>Sings every pitch with the voice&apos;s own resonance (formants). Off: the samples are read faster or slower to reach the pitch (the former method).</translation>
    </message>
    <message>
        <source>表情をつける</source>
        <translation>Add expression</translation>
    </message>
    <message>
        <source>ノート設定のないノートに、自然なビブラート（400ms以上のノート）、つながったノートの間のなめらかな音程の移り、やわらかい立ち上がりをつけます。</source>
        <translation>Gives notes without note settings a natural vibrato (notes of 400 ms or longer), smooth glides between joined notes and a soft attack.</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>音程</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>表情</source>
        <translation>Expression</translation>
    </message>
</context>
<context>
    <name>kantor::app::SyncCorrectionDialog</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>kantor::app::TitleInfoWindow</name>
    <message>
        <source>ﾀｲﾄﾙ情報</source>
        <translation>Title Information</translation>
    </message>
    <message>
        <source>入力/変更(&amp;I)</source>
        <translation>Ed&amp;it...</translation>
    </message>
</context>
<context>
    <name>kantor::app::TitleInputDialog</name>
    <message>
        <source>ﾀｲﾄﾙ情報入力＆変更</source>
        <translation>Edit Title Information</translation>
    </message>
    <message>
        <source>ﾀｲﾄﾙ</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>作詞</source>
        <translation>Lyrics</translation>
    </message>
    <message>
        <source>作曲</source>
        <translation>Music</translation>
    </message>
    <message>
        <source>編曲</source>
        <translation>Arrangement</translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
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
<context>
    <name>kantor::app::VoiceSettingsDialog</name>
    <message>
        <source>ｿﾝｸﾞ・ﾃﾞﾌｫﾙﾄ設定</source>
        <translation>Song Defaults</translation>
    </message>
    <message>
        <source>ﾁｬﾝﾈﾙ・ﾃﾞﾌｫﾙﾄ設定</source>
        <translation>Channel Defaults</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ設定</source>
        <translation>Phrase Settings</translation>
    </message>
    <message>
        <source>ﾃﾞﾌｫﾙﾄ</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>ﾁｭｰﾆﾝｸﾞ（A=）</source>
        <translation>Tuning (A=)</translation>
    </message>
    <message>
        <source>ﾌﾚｰｽﾞ音量(%)</source>
        <translation>Phrase volume (%)</translation>
    </message>
    <message>
        <source>前ノリ(-)・後ノリ(+)</source>
        <translation>Early (-) / Late (+)</translation>
    </message>
    <message>
        <source>外部ｴﾌｪｸﾀ</source>
        <translation>Effects...</translation>
    </message>
    <message>
        <source>表情のﾃﾞﾌｫﾙﾄ</source>
        <translation>Expression Defaults</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>(なし)</source>
        <translation>(none)</translation>
    </message>
</context>
<context>
    <name>kantor::app::WaveInsertWindow</name>
    <message>
        <source>Waveﾌｧｲﾙの挿入</source>
        <translation>Insert Wave Files</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ(&amp;W)</source>
        <translation>&amp;Wave File...</translation>
    </message>
    <message>
        <source>取消(&amp;C)</source>
        <translation>&amp;Remove</translation>
    </message>
</context>
</TS>
