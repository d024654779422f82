<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>Vantomerポータル</title>
</head>
<body>
<marquee behavior="scroll" direction="left" loop="3"><k-emoji num="149"/>今週の天気予報と星占いを更新しました<k-emoji num="149"/></marquee>
<h1><a name="top" id="top"><k-emoji num="1"/>Vantomerポータル</a></h1>
<k-carrier i="true"><div><k-emoji num="108"/>iモードメニューからブックマークに登録できます。</div></k-carrier>
<k-carrier ez="true"><div>EZwebのお客様はEZボタンからお気に入りに登録できます。</div></k-carrier>
<k-carrier j="true"><div>Yahoo!ケータイのお客様はブックマークに登録してください。</div></k-carrier>
<k-carrier pc="true"><div>このサイトは携帯電話向けです。パソコンでは絵文字が画像で表示されます。</div></k-carrier>
<hr/>
<div>
<a href="news.tm" accesskey="1">ニュース</a><br/>
<a href="weather.tm" accesskey="2">天気予報</a><br/>
<a href="fortune.tm" accesskey="3">今日の星占い</a><br/>
<a href="sports.tm" accesskey="4">スポーツ</a><br/>
<a href="transit.tm?from=tokyo" accesskey="5">乗換案内</a><br/>
<a href="login.tm" accesskey="9">ログイン</a>
</div>
<hr/>
<h2><k-emoji num="3"/>今日の天気</h2>
<div>
東京　<k-emoji num="1"/>のち<k-emoji num="2"/>　最高23℃<br/>
大阪　<k-emoji num="2"/>時々<k-emoji num="3"/>　最高21℃<br/>
札幌　<k-emoji num="4"/>　最高2℃
</div>
<h2><k-emoji num="13"/>今日の星占い</h2>
<div>
<k-emoji num="9"/>おひつじ座：新しいことを始めるのに良い日。<br/>
<k-emoji num="13"/>しし座：<k-emoji num="135"/>恋愛運が上昇中。<br/>
<k-emoji num="20"/>うお座：<k-emoji num="42"/>金運に注意。
</div>
<h2><k-emoji num="119"/>サイト内検索</h2>
<form action="search.tm" method="get">
<div>
キーワード<br/>
<input type="text" name="q" size="14" k-mode="jp"/><br/>
郵便番号（7桁）<br/>
<input type="text" name="zip" size="8" maxlength="7" k-mode="n"/><br/>
<input type="submit" value="検索"/>
</div>
</form>
<h2><k-emoji num="110"/>ご意見・ご感想</h2>
<form action="feedback.tm" method="get">
<div>
メールアドレス<br/>
<input type="text" name="mail" size="20" k-mode="en"/><br/>
お名前（半角カナ）<br/>
<input type="text" name="kana" size="16" istyle="2"/><br/>
ご意見<br/>
<textarea name="body" rows="3" cols="16" k-mode="jp">
</textarea><br/>
<input type="submit" value="送信"/>
</div>
</form>
<hr/>
<div>
<a href="tel:0120000000"><k-emoji num="74"/>お電話でのお問い合わせ</a><br/>
<a href="mailto:info@example.jp"><k-emoji num="106"/>メールでのお問い合わせ</a><br/>
<a href="#top" accesskey="0">ページの先頭へ</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
