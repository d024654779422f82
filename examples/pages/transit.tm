<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>乗換案内 - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="32"/>乗換案内</h1>
<p>東京駅から（時刻は例です）</p>
<div>
<k-emoji num="32"/>新大阪　9:00発 → 11:27着<br/>
<k-emoji num="30"/>横浜　9:04発 → 9:30着<br/>
<k-emoji num="37"/>羽田空港　9:10発 → 9:42着
</div>
<k-carrier pc="true"><div>静的なサンプルです。出発駅を選ぶにはアプリケーションが必要です。</div></k-carrier>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
