<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>サイト内検索 - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="119"/>サイト内検索</h1>
<p>検索にはアプリケーションが必要です。このサンプルは静的なページなので、検索語は使われません。</p>
<div><a href="http://127.0.0.1:8080/search?q=%E5%A4%A9%E6%B0%97">デモの検索 (make demo)</a></div>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
