<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>ログイン - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="116"/>ログイン</h1>
<k-carrier i="true" ez="true" j="true"><div>携帯電話のお客様も、ログインの状態はサーバー側で保持されます。ブックマークはログイン前のページに登録してください。</div></k-carrier>
<k-carrier pc="true"><div>ログイン状態はCookieに保存されます。</div></k-carrier>
<div>
<k-emoji num="157"/>ログインにはアプリケーションが必要です。このサンプルは静的なページなので、ログインの例は make demo のデモでお試しください。
</div>
<div>
<a href="http://127.0.0.1:8080/login" accesskey="1">デモでログイン (make demo)<k-emoji num="114"/></a>
</div>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
