<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>ニュース詳細 - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="120"/>ニュース詳細</h1>
<p><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</p>
<div>気象庁によると、台風12号は週末にかけて関東地方に接近するおそれがあります。（静的なサンプルです。どの記事番号でもこのページが表示されます。）</div>
<div><a href="../news.tm" accesskey="9">ニュース一覧へ</a></div>
<hr/>
<div>
<a href="../index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
