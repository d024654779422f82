<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>ご意見・ご感想 - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="110"/>ご意見・ご感想</h1>
<p><k-emoji num="135"/>送信ありがとうございました。</p>
<div>このサンプルは静的なページなので、送られた内容はどこにも保存されません。フォームを受け取るアプリケーションの例は make demo のデモにあります。</div>
<div><a href="http://127.0.0.1:8080/">デモ (make demo)</a></div>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
