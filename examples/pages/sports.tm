<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>スポーツ - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="22"/>スポーツ</h1>
<div>
<k-emoji num="22"/>プロ野球：首位攻防戦は延長十二回引き分け<br/>
<k-emoji num="25"/>サッカー：日本代表メンバー発表<br/>
<k-emoji num="26"/>ゴルフ：最終日は雨で順延
</div>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
