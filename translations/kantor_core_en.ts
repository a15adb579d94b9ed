<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>kantor::text</name>
    <message>
        <source>メモリが不足しています。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
