<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>Vantomerニュース</title>
</head>
<body>
<h1><a name="top" id="top"><k-emoji num="1"/>Vantomerニュース</a></h1>
<marquee behavior="scroll" direction="left" loop="3"><k-emoji num="149"/>今週の天気予報と星占いを更新しました<k-emoji num="149"/></marquee>
<k-carrier i="true"><div><k-emoji num="108"/>iモードメニューからブックマークに登録できます。</div></k-carrier>
<k-carrier ez="true"><div>EZwebのお客様はEZボタンからお気に入りに登録できます。</div></k-carrier>
<k-carrier j="true"><div>Yahoo!ケータイのお客様はブックマークに登録してください。</div></k-carrier>
<k-carrier pc="true"><div>パソコンからご覧の方は、携帯電話でQRコードを読み取るとこのページを開けます。</div></k-carrier>
<div>
<a href="news.tm" accesskey="1">ニュース</a><br/>
<a href="weather.tm" accesskey="2">天気予報</a><br/>
<a href="fortune.tm" accesskey="3">星占い</a><br/>
<a href="login.tm" accesskey="9">ログイン</a>
</div>
<hr/>
<div>
<a href="news/detail.tm?id=1200" accesskey="1"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<hr/>
<form action="search.tm" method="get">
<div>
<input type="text" name="q" size="12" k-mode="jp"/>
<input type="text" name="zip" size="7" maxlength="7" istyle="4"/>
<input type="submit" value="検索"/>
</div>
</form>
<div>
<a href="?page=2" accesskey="#">次のページ</a><br/>
<a href="http://weather.example.com/">提携サイト</a><br/>
<a href="mailto:info@example.jp"><k-emoji num="106"/>お問い合わせ</a><br/>
<a href="#top" accesskey="0">ページの先頭へ</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
