<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>BankFolder</name>
    <message>
        <source>フォルダではありません。</source>
        <translation>not a folder.</translation>
    </message>
</context>
<context>
    <name>BankImporter</name>
    <message>
        <source>メモリが不足しています。</source>
        <translation>Not enough memory.</translation>
    </message>
    <message>
        <source>フォルダとその下にoto.iniがありません。</source>
        <translation>no oto.ini in the folder or below it.</translation>
    </message>
    <message>
        <source>読み込めません。</source>
        <translation>cannot be read.</translation>
    </message>
    <message>
        <source>取り消しました。</source>
        <translation>cancelled.</translation>
    </message>
    <message>
        <source>使えるサンプルになる行がありません。</source>
        <translation>no line of the bank gives a usable sample.</translation>
    </message>
    <message>
        <source>音源フォルダに読めるoto.iniがありません。</source>
        <translation>No oto.ini in the bank folder can be read.</translation>
    </message>
    <message>
        <source>oto.iniの行が %s を超えています。そこまで大きい音源はありません。</source>
        <translation>The oto.ini files hold more than %s lines; no voice bank is that large.</translation>
    </message>
</context>
<context>
    <name>BankSummary</name>
    <message>
        <source>音源名: %s</source>
        <translation>voice name: %s</translation>
    </message>
    <message>
        <source>oto.iniファイル: %s、行: %s</source>
        <translation>oto.ini files: %s, lines: %s</translation>
    </message>
    <message>
        <source>作成したサンプル: %s（1音高）</source>
        <translation>samples made: %s (1 pitch)</translation>
    </message>
    <message>
        <source>作成したサンプル: %s（%s音高）</source>
        <translation>samples made: %s (%s pitches)</translation>
    </message>
    <message>
        <source>自動で置いたマーカー: %s</source>
        <translation>markers placed automatically: %s</translation>
    </message>
    <message>
        <source>使わなかった行（同じ音節と音高を別の行が与える）: %s</source>
        <translation>lines not needed (another line gives the same syllable and pitch): %s</translation>
    </message>
    <message>
        <source>飛ばした行: %s</source>
        <translation>lines skipped: %s</translation>
    </message>
    <message>
        <source>  単独: %s（語頭「- か」: %s）、母音などの後（「a か」）: %s、子音への語尾（「a k」）: %s</source>
        <translation>  plain: %s (head entries &quot;- ka&quot;: %s), VCV (&quot;a ka&quot;): %s, CVVC endings (&quot;a k&quot;): %s</translation>
    </message>
    <message>
        <source>測った音高: %s（サンプル %s 個中）</source>
        <translation>pitches measured: %s of %s</translation>
    </message>
    <message>
        <source>測った音高で直した音高タグ（半音より離れていたもの）: %s</source>
        <translation>pitch tags corrected by the measure (more than a semitone apart): %s</translation>
    </message>
    <message>
        <source>音高を測れなかったサンプル: %s</source>
        <translation>samples without a measurable pitch: %s</translation>
    </message>
</context>
<context>
    <name>BankWave</name>
    <message>
        <source>数でないサンプル（NaN か無限大）があります。</source>
        <translation>samples that are not numbers (NaN or infinite)</translation>
    </message>
</context>
<context>
    <name>EditWindows</name>
    <message>
        <source>ｿﾝｸﾞﾃﾞﾌｫﾙﾄﾀﾞｲｱﾛｸﾞを閉じてください。</source>
        <translation>Please close the Song Defaults dialog.</translation>
    </message>
    <message>
        <source>フレーズ設定( %d )を閉じてください。</source>
        <translation>Please close Phrase Settings (%d).</translation>
    </message>
    <message>
        <source>ノート設定( %d )を閉じてください。</source>
        <translation>Please close Note Settings (%d).</translation>
    </message>
    <message>
        <source>フレーズ詳細( %d )を閉じてください。</source>
        <translation>Please close Phrase Details (%d).</translation>
    </message>
</context>
<context>
    <name>Hub</name>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>歌う音符がありません。</source>
        <translation>There are no notes to sing.</translation>
    </message>
</context>
<context>
    <name>SongRenderer</name>
    <message>
        <source>このノートの属するフレーズの先頭がありません。</source>
        <translation>The phrase of this note has no start.</translation>
    </message>
</context>
<context>
    <name>VoiceLibrary</name>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
</context>
<context>
    <name>WaveInDevice</name>
    <message>
        <source>Wave(%s)を録音できません。</source>
        <translation>Cannot record wave (%s).</translation>
    </message>
    <message>
        <source>ウェーブ入力デバイスを開けません。</source>
        <translation>Cannot open the wave input device.</translation>
    </message>
</context>
<context>
    <name>WaveOutDevice</name>
    <message>
        <source>Wave(%s)を再生できません。</source>
        <translation>Cannot play wave (%s).</translation>
    </message>
    <message>
        <source>ウェーブ出力デバイスを開けません。</source>
        <translation>Cannot open the wave output device.</translation>
    </message>
</context>
<context>
    <name>kantor</name>
    <message>
        <source>歌詞はかなかローマ字で書いてください。</source>
        <translation>Lyrics must be written in kana or romaji.</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙが見つかりません。</source>
        <translation>MIDI file not found.</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙの読み込みに失敗しました。</source>
        <translation>Failed to read the MIDI file.</translation>
    </message>
    <message>
        <source>不当なファイル形式です。</source>
        <translation>Invalid file format.</translation>
    </message>
    <message>
        <source>format 0,1 にのみ対応してます。</source>
        <translation>Only MIDI format 0 and 1 are supported.</translation>
    </message>
    <message>
        <source>容量ｵｰﾊﾞｰ、再生ﾎﾞｲｽ数を減らしてください。</source>
        <translation>Capacity exceeded: reduce the number of playback voices.</translation>
    </message>
    <message>
        <source>このノートの属するフレーズの先頭がありません。</source>
        <translation>The phrase of this note has no start.</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>挿入WaveFileを無視して再生しますか？</source>
        <translation>Play without the inserted wave file?</translation>
    </message>
    <message>
        <source>挿入Waveﾌｧｲﾙを無視して再生しますか？</source>
        <translation>Play without the inserted wave file?</translation>
    </message>
    <message>
        <source>ボーカルの合成が間に合わなかったフレーズを飛ばしました。</source>
        <translation>Skipped a phrase whose vocal was not ready in time.</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>見つかりません</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>読み込みエラー</source>
        <translation>read error</translation>
    </message>
    <message>
        <source>大きすぎます</source>
        <translation>too large</translation>
    </message>
    <message>
        <source>アクセスが許可されていません</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>「ファイル=エイリアス,オフセット,子音部,ブランク,先行発声,オーバーラップ」の形ではない行</source>
        <translation>not a line of the form FILE=ALIAS,OFFSET,CONSONANT,CUTOFF,PREUTTERANCE,OVERLAP</translation>
    </message>
    <message>
        <source>WAVファイルがない</source>
        <translation>the WAV file is missing</translation>
    </message>
    <message>
        <source>WAVファイルを読み込めない</source>
        <translation>the WAV file cannot be read</translation>
    </message>
    <message>
        <source>時間がWAVファイルの終わりを越えている</source>
        <translation>the times lie past the end of the WAV file</translation>
    </message>
    <message>
        <source>エイリアスが音節を表していない</source>
        <translation>the alias names no syllable</translation>
    </message>
    <message>
        <source>先行発声がオフセットから1秒より後にある</source>
        <translation>the preutterance lies more than one second after the offset</translation>
    </message>
    <message>
        <source>先行発声とブランクの間にループの場所がない</source>
        <translation>no room for a loop between the preutterance and the cutoff</translation>
    </message>
    <message>
        <source>音源 %s: %s</source>
        <translation>voice %s: %s</translation>
    </message>
    <message>
        <source>音源 %s が読み込まれていません。</source>
        <translation>voice %s is not loaded.</translation>
    </message>
    <message>
        <source>%s はこのソングのファイルです。別の名前を選んでください。</source>
        <translation>%s is the song&apos;s own file; choose another name.</translation>
    </message>
    <message>
        <source>%s を読み込めません: %s</source>
        <translation>cannot read %s: %s</translation>
    </message>
    <message>
        <source>%s に書き込めません: %s</source>
        <translation>cannot write %s: %s</translation>
    </message>
    <message>
        <source>%s は読み込む楽譜そのものです。別の名前を選んでください。</source>
        <translation>%s is the score itself; choose another name.</translation>
    </message>
    <message>
        <source>%s: 音源 %s に音節「%s」がありません。</source>
        <translation>%s: the voice %s has no syllable &quot;%s&quot;.</translation>
    </message>
    <message>
        <source>楽譜から作ったMIDIファイルを開けません。</source>
        <translation>the MIDI file made from the score cannot be opened.</translation>
    </message>
    <message>
        <source>パート %s、小節 %s</source>
        <translation>part %s, measure %s</translation>
    </message>
    <message>
        <source>ファイルが音源フォルダの外にあるので読まない</source>
        <translation>the file lies outside the bank folder and is not read</translation>
    </message>
    <message>
        <source>読み込めるファイルではない</source>
        <translation>not a file that can be read</translation>
    </message>
    <message>
        <source>通常のファイルではありません。</source>
        <translation>Not a regular file.</translation>
    </message>
    <message>
        <source>使えない音の形式です。</source>
        <translation>The sound format is not usable.</translation>
    </message>
    <message>
        <source>10分より長いです。</source>
        <translation>Longer than 10 minutes.</translation>
    </message>
    <message>
        <source>%s は読み込むプロジェクトそのものです。別の名前を選んでください。</source>
        <translation>%s is the project itself; choose another name.</translation>
    </message>
    <message>
        <source>音源 %s を読み込めません。</source>
        <translation>Voice %s cannot be loaded.</translation>
    </message>
    <message>
        <source>トラック「%s」をチャンネル %s で歌います: ノート %s 個、うち音節のあるもの %s 個</source>
        <translation>track &quot;%s&quot; sings on channel %s: %s notes, %s with syllables</translation>
    </message>
    <message>
        <source>テンポ: %s</source>
        <translation>tempos: %s</translation>
    </message>
    <message>
        <source>引き継がなかったもの: %s</source>
        <translation>not carried: %s</translation>
    </message>
    <message>
        <source>%s は通常のファイルではありません。</source>
        <translation>%s is not a regular file.</translation>
    </message>
    <message>
        <source>%s はすでにあります（置き換えるには --force を付けてください）。</source>
        <translation>%s exists (use --force to replace it).</translation>
    </message>
    <message>
        <source>ソング %s は書き込みましたが、開けません。</source>
        <translation>The song %s was written but cannot be opened.</translation>
    </message>
    <message>
        <source>音源フォルダの外</source>
        <translation>outside the bank folder</translation>
    </message>
    <message>
        <source>ファイルではなくフォルダ</source>
        <translation>a folder, not a file</translation>
    </message>
    <message>
        <source>ファイルではなく名前付きパイプ (FIFO)</source>
        <translation>a named pipe (FIFO), not a file</translation>
    </message>
    <message>
        <source>ファイルではなくデバイス</source>
        <translation>a device, not a file</translation>
    </message>
    <message>
        <source>ファイルではなくソケット</source>
        <translation>a socket, not a file</translation>
    </message>
    <message>
        <source>調べられない</source>
        <translation>cannot be looked at</translation>
    </message>
</context>
<context>
    <name>kantor::Hub</name>
    <message>
        <source>このﾌｧｲﾙは、開いた後で他のﾌﾟﾛｸﾞﾗﾑによって変更されています。
上書きしますか？</source>
        <translation>Another program changed this file after it was opened.
Overwrite it?</translation>
    </message>
</context>
<context>
    <name>kantor::cli</name>
    <message>
        <source>Voice名: </source>
        <translation>Voice name: </translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ: </source>
        <translation>Comment: </translation>
    </message>
    <message>
        <source>ｺﾒﾝﾄ2: </source>
        <translation>Comment 2: </translation>
    </message>
</context>
<context>
    <name>kantor::edittext</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>注意</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>メモリが不足しています。</source>
        <translation>Not enough memory.</translation>
    </message>
    <message>
        <source>一覧にあるｺｰﾄﾞ（ﾛｰﾏ字）を入力してください。</source>
        <translation>Enter a code (romaji) from the list.</translation>
    </message>
    <message>
        <source>ﾊﾟﾜｰ値に不適当な値が入力されました。
 0.001以上、10.000以下の範囲で入力してください。</source>
        <translation>Invalid power value.
Enter a value from 0.001 to 10.000.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙのパス長が128ﾊﾞｲﾄを超えています。</source>
        <translation>The wave file path is longer than 128 bytes.</translation>
    </message>
    <message>
        <source>不正なﾌｧｲﾙ名です。</source>
        <translation>Invalid file name.</translation>
    </message>
    <message>
        <source>データ復元に失敗しました。
保存しないでｱﾌﾟﾘｹｰｼｮﾝを終了させてください。</source>
        <translation>Failed to restore the data.
Quit the application without saving.</translation>
    </message>
    <message>
        <source>文字列を選択してください。</source>
        <translation>Select a line of text.</translation>
    </message>
    <message>
        <source>このノートの属するフレーズの先頭がありません。</source>
        <translation>The phrase of this note has no start.</translation>
    </message>
    <message>
        <source>このﾁｬﾝﾈﾙにはノートがありません。</source>
        <translation>This channel has no notes.</translation>
    </message>
    <message>
        <source>歌う音符がありません。</source>
        <translation>There are no notes to sing.</translation>
    </message>
</context>
<context>
    <name>kantor::librarytext</name>
    <message>
        <source>ｺﾋﾟｰ元ﾌｧｲﾙ(%s)
が見つかりません。</source>
        <translation>Source file (%s)
not found.</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ先ﾌｧｲﾙ(%s)
が既に存在します。上書きしますか？</source>
        <translation>Destination file (%s)
already exists. Overwrite it?</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ先ﾌｧｲﾙ(%s)
に書き込めません。</source>
        <translation>Destination file (%s)
cannot be written.</translation>
    </message>
    <message>
        <source>付属のVoiceDataはｴｸｽﾎﾟｰﾄ・削除できません。</source>
        <translation>Built-in voice data cannot be exported or deleted.</translation>
    </message>
    <message>
        <source>Voice(%s)が見つかりません。</source>
        <translation>Voice (%s) not found.</translation>
    </message>
    <message>
        <source>Voice名(%s)が正しくありません。</source>
        <translation>Invalid voice name (%s).</translation>
    </message>
    <message>
        <source>Voice(%s)を削除できません。</source>
        <translation>Cannot delete voice (%s).</translation>
    </message>
    <message>
        <source>ｴｸｽﾎﾟｰﾄ</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>ｲﾝﾎﾟｰﾄ</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>My Kantorellion Voice Dataﾌｧｲﾙ (*.vxb)|*.vxb||</source>
        <translation>My Kantorellion Voice Data files (*.vxb)|*.vxb||</translation>
    </message>
    <message>
        <source>「%s」という名前の音源が複数あります。識別子で選んでください: %s</source>
        <translation>more than one voice is named &quot;%s&quot;; choose one by its identifier: %s</translation>
    </message>
    <message>
        <source>「%s」という名前または識別子の音源はありません。音源: %s</source>
        <translation>there is no voice named or identified &quot;%s&quot;; voices: %s</translation>
    </message>
</context>
<context>
    <name>kantor::lyrictext</name>
    <message>
        <source>既に同じ位置に歌詞が存在します。入れ換えますか？</source>
        <translation>A lyric already exists at this position. Replace it?</translation>
    </message>
    <message>
        <source>削除する歌詞が選択されていません。</source>
        <translation>No lyric selected to delete.</translation>
    </message>
    <message>
        <source>歌詞の位置が曲の終わりを越えています。</source>
        <translation>The lyric lies past the end of the song.</translation>
    </message>
    <message>
        <source>歌詞が長すぎます（63ﾊﾞｲﾄまで）。</source>
        <translation>The lyric is too long (63 bytes at most).</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>注意</source>
        <translation>Notice</translation>
    </message>
</context>
<context>
    <name>kantor::makertext</name>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｼﾞｪｸﾄの保存に失敗しました。</source>
        <translation>Failed to save the project.</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｼﾞｪｸﾄのｵｰﾌﾟﾝに失敗しました。</source>
        <translation>Failed to open the project.</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｼﾞｪｸﾄの読み込みに失敗しました。</source>
        <translation>Failed to read the project.</translation>
    </message>
    <message>
        <source>Vxb作成ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙではありません。</source>
        <translation>Not a VXB project file.</translation>
    </message>
    <message>
        <source>未対応なﾊﾞｰｼﾞｮﾝのVxb作成ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙです。</source>
        <translation>Unsupported version of VXB project file.</translation>
    </message>
    <message>
        <source>VoiceData作成ﾌﾟﾛｼﾞｪｸﾄを保存しますか？</source>
        <translation>Save the voice data project?</translation>
    </message>
    <message>
        <source>音程が選択されていません。</source>
        <translation>No pitch selected.</translation>
    </message>
    <message>
        <source>ｺｰﾄﾞ（ﾛｰﾏ字） - 表記（ひらがな）が選択されていません。</source>
        <translation>No code (romaji) - notation (hiragana) pair selected.</translation>
    </message>
    <message>
        <source>ｺｰﾄﾞ（ﾛｰﾏ字）が空白です。</source>
        <translation>The code (romaji) is empty.</translation>
    </message>
    <message>
        <source>表記（ひらがな）が空白です。</source>
        <translation>The notation (hiragana) is empty.</translation>
    </message>
    <message>
        <source>音程とｺｰﾄﾞが一致するItemが既に存在します。
[OK]：継続、[ｷｬﾝｾﾙ]：中断</source>
        <translation>An item with the same pitch and code already exists.
[OK]: continue, [Cancel]: stop</translation>
    </message>
    <message>
        <source>未対応なWaveﾌｧｲﾙ形式です。
現在選択できるのは %s のWaveﾌｧｲﾙです。</source>
        <translation>Unsupported wave file format.
Only %s wave files can be used.</translation>
    </message>
    <message>
        <source>既にWaveﾃﾞｰﾀが存在します。入れ換えますか？</source>
        <translation>Wave data already exists. Replace it?</translation>
    </message>
    <message>
        <source>Voice名が未入力です。</source>
        <translation>No voice name entered.</translation>
    </message>
    <message>
        <source>Vioce Data が一つもありません。</source>
        <translation>There is no voice data.</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾊﾟﾃｨ が設定されてません。</source>
        <translation>No properties are set.</translation>
    </message>
    <message>
        <source>ﾏｰｶｰの位置が正しくありません。</source>
        <translation>The marker positions are invalid.</translation>
    </message>
</context>
<context>
    <name>kantor::mixertext</name>
    <message>
        <source>Debug CVoxMixer::VoxMixerはモノラルデータしか扱いません。</source>
        <translation>Debug CVoxMixer::VoxMixer handles mono data only.</translation>
    </message>
    <message>
        <source>8ﾋﾞｯﾄWaveはMy Kantorellionでは未対応です。</source>
        <translation>My Kantorellion does not support 8-bit waves.</translation>
    </message>
    <message>
        <source>平方根計算のエラーです。</source>
        <translation>Square root calculation error.</translation>
    </message>
</context>
<context>
    <name>kantor::noteedit</name>
    <message>
        <source>同じ位置で始まるノートがあります。</source>
        <translation>Another note starts at the same position.</translation>
    </message>
    <message>
        <source>ノートの位置・長さ・音程が範囲外です。</source>
        <translation>The note&apos;s position, length or key is out of range.</translation>
    </message>
    <message>
        <source>指定されたノートがありません。</source>
        <translation>There is no such note.</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙは、開いた後で他のﾌﾟﾛｸﾞﾗﾑによって変更されています。曲を開き直してください。</source>
        <translation>The MIDI file was changed by another program after it was opened. Open the song again.</translation>
    </message>
    <message>
        <source>このMidiﾌｧｲﾙのノートは編集できません。</source>
        <translation>The notes of this MIDI file cannot be edited.</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙの保存に失敗しました。</source>
        <translation>The MIDI file could not be saved.</translation>
    </message>
    <message>
        <source>音節コードが不正です。</source>
        <translation>Not a syllable code.</translation>
    </message>
</context>
<context>
    <name>kantor::plugintext</name>
    <message>
        <source>My Kantorellion ﾌﾟﾗｸﾞｲﾝ･ﾌｧｲﾙではありません。</source>
        <translation>Not a My Kantorellion plug-in file.</translation>
    </message>
    <message>
        <source>メモリが不足しています。</source>
        <translation>Not enough memory.</translation>
    </message>
    <message>
        <source>外部ｴﾌｪｸﾀ・ｴﾗｰ</source>
        <translation>External Effect Error</translation>
    </message>
    <message>
        <source>外部ｴﾌｪｸﾀの設定(&amp;E)</source>
        <translation>&amp;External Effect Settings</translation>
    </message>
    <message>
        <source>外部エフェクタの設定</source>
        <translation>External Effect Settings</translation>
    </message>
    <message>
        <source>外部エフェクタの選択</source>
        <translation>Choose External Effects</translation>
    </message>
    <message>
        <source>外部エフェクタ名</source>
        <translation>External effectors</translation>
    </message>
    <message>
        <source>エフェクト一覧</source>
        <translation>Effects</translation>
    </message>
    <message>
        <source>選択エフェクト（最大３個まで）</source>
        <translation>Chosen effects (up to 3)</translation>
    </message>
    <message>
        <source>登録(&amp;R)</source>
        <translation>&amp;Register</translation>
    </message>
    <message>
        <source>取消(&amp;D)</source>
        <translation>Remo&amp;ve</translation>
    </message>
    <message>
        <source>選択(&amp;S)</source>
        <translation>&amp;Select</translation>
    </message>
    <message>
        <source>選択取消(&amp;C)</source>
        <translation>&amp;Deselect</translation>
    </message>
    <message>
        <source>Sonnetra 外部ｴﾌｪｸﾀ ﾌﾟﾗｸﾞｲﾝ (*.ncp)|*.ncp||</source>
        <translation>Sonnetra external effect plug-ins (*.ncp)|*.ncp||</translation>
    </message>
    <message>
        <source>選択できるエフェクトは３個までです。</source>
        <translation>You can choose at most 3 effects.</translation>
    </message>
    <message>
        <source>エフェクタ名を選択してください。</source>
        <translation>Select an effector.</translation>
    </message>
    <message>
        <source>エフェクトを選択してください。</source>
        <translation>Select an effect.</translation>
    </message>
    <message>
        <source>このﾌｧｲﾙは登録できません（ﾊﾟｽが511ﾊﾞｲﾄを超えるか、使えない文字を含みます）。</source>
        <translation>This file cannot be registered (its path is longer than 511 bytes or contains characters that cannot be used).</translation>
    </message>
</context>
<context>
    <name>kantor::text</name>
    <message>
        <source>メモリが不足しています。</source>
        <translation>Not enough memory.</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報 (&amp;A)...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>二重起動です。</source>
        <translation>The program is already running.</translation>
    </message>
    <message>
        <source>始めにやる事</source>
        <translation>First Steps</translation>
    </message>
    <message>
        <source>初めての利用の際には、Midiの遅延ﾀｲﾑの設定を行ってください。
ﾊｰﾄﾞｳｪｱMidiの場合は無視できるかと思いますが、
ｿﾌﾄｳｪｱMidi（Windows付属のMidiなど）では大きな遅延が生じます。
ちなみに作者のPC（XP）では +90 msec ぐらいでした。</source>
        <translation>Before you start, please set the MIDI delay time.
With hardware MIDI you can probably ignore it,
but software MIDI (such as the MIDI that comes with Windows) has a large delay.
On the author&apos;s PC (XP) it was about +90 msec.</translation>
    </message>
</context>
<context>
    <name>kantor::voicetext</name>
    <message>
        <source>Voice データの読み込みに失敗しました。</source>
        <translation>Failed to read the voice data.</translation>
    </message>
    <message>
        <source>My Kantorellion Voice Dataﾌｧｲﾙではありません。</source>
        <translation>Not a My Kantorellion Voice Data file.</translation>
    </message>
    <message>
        <source>未対応なﾊﾞｰｼﾞｮﾝのVoiceData（Vxbﾌｧｲﾙ）です。</source>
        <translation>Unsupported version of voice data (VXB file).</translation>
    </message>
    <message>
        <source>VoicdDataの作成に失敗しました。</source>
        <translation>Failed to create the voice data.</translation>
    </message>
</context>
<context>
    <name>kantor::voxtrack</name>
    <message>
        <source>Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを追加します。MidiCh=%d</source>
        <translation>The MIDI file has changed. Adding Vox events. MidiCh=%d</translation>
    </message>
    <message>
        <source>Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを削除します。MidiCh=%d</source>
        <translation>The MIDI file has changed. Removing Vox events. MidiCh=%d</translation>
    </message>
</context>
<context>
    <name>kantor::wavetext</name>
    <message>
        <source>Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに %s が見つかりません。</source>
        <translation>%s not found in the MIDI file&apos;s folder.</translation>
    </message>
    <message>
        <source>挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。
現在選択できるのは %s のWaveﾌｧｲﾙです。</source>
        <translation>The inserted wave file has an unsupported format.
Only %s wave files can be used.</translation>
    </message>
    <message>
        <source>%s : 挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。
現在選択できるのは %s のWaveﾌｧｲﾙです。</source>
        <translation>%s: The inserted wave file has an unsupported format.
Only %s wave files can be used.</translation>
    </message>
    <message>
        <source>WaveﾌｧｲﾙはMidiﾌｧｲﾙと同じﾌｫﾙﾀﾞに格納する必要があります。
WaveﾌｧｲﾙをMidiﾌｧｲﾙと同じﾌｫﾙﾀﾞにｺﾋﾟｰしますか？</source>
        <translation>The wave file must be in the MIDI file&apos;s folder.
Copy the wave file to the MIDI file&apos;s folder?</translation>
    </message>
    <message>
        <source>既に同じ位置にWaveﾌｧｲﾙが存在します。入れ換えますか？</source>
        <translation>A wave file already exists at this position. Replace it?</translation>
    </message>
    <message>
        <source>削除するWaveﾌｧｲﾙが選択されていません。</source>
        <translation>No wave file selected to delete.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ名に歌声ﾌｧｲﾙに保存できない文字が含まれています。</source>
        <translation>The wave file name contains characters the song file cannot store.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙの位置が曲の最後の小節を越えています。</source>
        <translation>The wave file lies past the last measure of the song.</translation>
    </message>
    <message>
        <source>Waveﾌｧｲﾙ (*.wav)</source>
        <translation>Wave files (*.wav)</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>注意</source>
        <translation>Notice</translation>
    </message>
</context>
<context>
    <name>kantor::wavtext</name>
    <message>
        <source>Waveﾌｧｲﾙのパス長が128ﾊﾞｲﾄを超えています。</source>
        <translation>The wave file path is longer than 128 bytes.</translation>
    </message>
    <message>
        <source>WAVEファイルへの書き込みができません。</source>
        <translation>Cannot write the WAVE file.</translation>
    </message>
</context>
<context>
    <name>std</name>
    <message>
        <source>Utaﾌｧｲﾙが見つかりません。</source>
        <translation>Song file (.uta) not found.</translation>
    </message>
    <message>
        <source>Utaﾌｧｲﾙの読み込みに失敗しました。</source>
        <translation>Failed to read the song file (.uta).</translation>
    </message>
    <message>
        <source>My Kantorellion 歌声ﾌｧｲﾙ（*.uta）形式でないﾌｧｲﾙです。</source>
        <translation>Not a My Kantorellion song file (*.uta).</translation>
    </message>
    <message>
        <source>Utaﾌｧｲﾙの保存に失敗しました。</source>
        <translation>Failed to save the song file (.uta).</translation>
    </message>
    <message>
        <source>読み取り専用のファイルです。</source>
        <translation>The file is read-only.</translation>
    </message>
    <message>
        <source>入力ｺｰﾄﾞ（ﾛｰﾏ字）一覧&#x3000;「%s」</source>
        <translation>Input Codes (Romaji) - %s</translation>
    </message>
    <message>
        <source>MidiとWaveの同期補正</source>
        <translation>MIDI and Wave Sync Correction</translation>
    </message>
    <message>
        <source>Midi 遅延ﾀｲﾑ： </source>
        <translation>MIDI delay: </translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>（なし）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>XMLの形式が正しくありません（%s バイト目）。</source>
        <translation>not well-formed XML at byte %s</translation>
    </message>
    <message>
        <source>小節順の楽譜（score-timewise）には対応していません。パート順（score-partwise）のMusicXMLで保存してください。</source>
        <translation>a timewise score (score-timewise) is not supported; save it as partwise MusicXML (score-partwise)</translation>
    </message>
    <message>
        <source>MusicXMLの楽譜ではありません（文書は &lt;%s&gt; です）。</source>
        <translation>not a MusicXML score (the document is &lt;%s&gt;)</translation>
    </message>
    <message>
        <source>小節のあるパートがありません。</source>
        <translation>the score has no part with measures</translation>
    </message>
    <message>
        <source>パートが %s あります。MIDIﾌｧｲﾙに入るのは歌うパートの和音のほかに 14 パートまでです。</source>
        <translation>the score has %s parts; a MIDI file holds 14 beside the sung part&apos;s chords</translation>
    </message>
    <message>
        <source>パート %s の小節数 %s がパート 1 の小節数 %s と違います。</source>
        <translation>part %s has %s measures, part 1 has %s</translation>
    </message>
    <message>
        <source>パート %s はありません（楽譜のパートは %s）。</source>
        <translation>there is no part %s (the score has %s)</translation>
    </message>
    <message>
        <source>繰り返しを演奏すると %s 小節を超えます。</source>
        <translation>the repeats make more than %s measures</translation>
    </message>
    <message>
        <source>繰り返しを演奏すると音符とテンポ記号が %s を超えます。</source>
        <translation>the repeats make more than %s notes and tempo marks</translation>
    </message>
    <message>
        <source>小節 %s: 楽譜が長すぎてMidiﾌｧｲﾙに入りません。</source>
        <translation>measure %s: the score is too long for a MIDI file</translation>
    </message>
    <message>
        <source>パート %s に歌う音符がありません。</source>
        <translation>part %s has no notes to sing</translation>
    </message>
    <message>
        <source>パート %s に %s 番の歌詞がありません（あるのは %s 番）。</source>
        <translation>part %s has no verse %s (it has verse %s)</translation>
    </message>
    <message>
        <source>歌詞 %s 番のあるパートがありません。</source>
        <translation>no part has verse %s</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: &lt;divisions&gt; %s が正しくありません。</source>
        <translation>part %s, measure %s: bad &lt;divisions&gt; %s</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: &lt;%s&gt; の &lt;duration&gt; が正しくありません。</source>
        <translation>part %s, measure %s: bad &lt;duration&gt; in &lt;%s&gt;</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: 音符の &lt;duration&gt; が正しくありません。</source>
        <translation>part %s, measure %s: bad &lt;duration&gt; of a note</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: 音の高さのない音符です（%s）。</source>
        <translation>part %s, measure %s: a note of no pitch (%s)</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: &lt;alter&gt; %s が正しくありません。</source>
        <translation>part %s, measure %s: bad &lt;alter&gt; %s</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: MIDIの範囲外の音符です。</source>
        <translation>part %s, measure %s: a note outside the MIDI range</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: 「%s」が分かりません（歌詞「%s」）。歌詞は仮名かローマ字で書いてください。</source>
        <translation>part %s, measure %s: unknown piece &quot;%s&quot; in the lyric &quot;%s&quot;; lyrics must be written in kana or romaji</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: 1つの音符に音節が4つより多くあります: 「%s」</source>
        <translation>part %s, measure %s: more than four syllables on one note: &quot;%s&quot;</translation>
    </message>
    <message>
        <source>パート %s、小節 %s: 歌詞が長すぎます（%s バイト）: 「%s」</source>
        <translation>part %s, measure %s: a lyric too long (%s bytes): &quot;%s&quot;</translation>
    </message>
    <message>
        <source>文字コード %s の楽譜は読めません。</source>
        <translation>the score&apos;s encoding %s cannot be read</translation>
    </message>
    <message>
        <source>楽譜の文字が %s として正しくありません（%s バイト目）。</source>
        <translation>the score&apos;s text is not valid %s (byte %s)</translation>
    </message>
    <message>
        <source>圧縮された楽譜を開けません: %s</source>
        <translation>cannot open the compressed score: %s</translation>
    </message>
    <message>
        <source>圧縮された楽譜に読めるMusicXMLﾌｧｲﾙがありません。</source>
        <translation>the compressed score holds no readable MusicXML file</translation>
    </message>
    <message>
        <source>圧縮された楽譜の %s が読めません。</source>
        <translation>the compressed score&apos;s %s cannot be read</translation>
    </message>
    <message>
        <source>小節 %s: 始まりのない番号括弧の終わりは無視しました。</source>
        <translation>measure %s: an ending stop without a start was passed over</translation>
    </message>
    <message>
        <source>小節 %s: %s 番括弧の終わりで %s 番括弧を閉じました。</source>
        <translation>measure %s: the stop of ending %s closed ending %s</translation>
    </message>
    <message>
        <source>小節 %s: %s 番括弧に終わりがないので、小節 %s までとしました。</source>
        <translation>measure %s: ending %s is never stopped; it was taken to end at measure %s</translation>
    </message>
    <message>
        <source>小節 %s: %s 番括弧に反復記号がないので、反復しました。</source>
        <translation>measure %s: ending %s has no repeat sign; the repeat was taken</translation>
    </message>
    <message>
        <source>小節 %s: D.S.の行き先（セーニョ）がないので、曲の初めに戻りました。</source>
        <translation>measure %s: D.S. without a segno; the song goes back to its start</translation>
    </message>
    <message>
        <source>小節 %s: To Codaの行き先（コーダ）がないので、そのまま続けました。</source>
        <translation>measure %s: To Coda without a coda; the song goes straight on</translation>
    </message>
    <message>
        <source>小節 %s の Fine で曲が終わります。</source>
        <translation>the song ends at the Fine of measure %s</translation>
    </message>
    <message>
        <source>小節 %s から小節 %s までは一度も演奏されません。</source>
        <translation>measures %s to %s are never played</translation>
    </message>
    <message>
        <source>小節 %s は一度も演奏されません。</source>
        <translation>measure %s is never played</translation>
    </message>
    <message>
        <source>ほかに %s 件の注意があります。</source>
        <translation>and %s more notes</translation>
    </message>
    <message>
        <source>楽譜に歌詞がありません。音符だけを音節なしで読み込みました。</source>
        <translation>the score has no lyrics: its notes came in without syllables</translation>
    </message>
    <message>
        <source>パート %s に歌詞がありません。音符だけを音節なしで読み込みました。</source>
        <translation>part %s has no lyrics: its notes came in without syllables</translation>
    </message>
    <message>
        <source>パート %s がﾁｬﾝﾈﾙ %s で歌います: 音符 %s、音節のある音符 %s。</source>
        <translation>part %s sings on channel %s: %s notes, %s with syllables</translation>
    </message>
    <message>
        <source>楽譜: %s 小節、音符 %s。曲: %s 小節、音符 %s。</source>
        <translation>score: %s measures, %s notes; song: %s measures, %s notes</translation>
    </message>
    <message>
        <source>繰り返しをせず、楽譜に書かれたとおり一度通しました。</source>
        <translation>repeats not followed: the score once through as written</translation>
    </message>
    <message>
        <source>歌詞 %s 番を歌います（パートの歌詞は %s 番）。</source>
        <translation>sings verse %s (the part has verses %s)</translation>
    </message>
    <message>
        <source>歌詞のない音符 %s 個は前の音節の母音を伸ばして歌います。</source>
        <translation>%s notes without a lyric sing the vowel of the syllable before them</translation>
    </message>
    <message>
        <source>休符のあとの歌詞のない音符 %s 個は歌いません。</source>
        <translation>%s notes without a lyric after a rest stay silent</translation>
    </message>
</context>
</TS>
