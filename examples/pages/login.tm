<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>ログイン - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="116"/>ログイン</h1>
<k-carrier i="true" ez="true" j="true"><div>携帯電話のお客様も、ログインの状態はサーバー側で保持されます。ブックマークはログイン前のページに登録してください。</div></k-carrier>
<k-carrier pc="true"><div>ログイン状態はCookieに保存されます。</div></k-carrier>
<form action="login.tm" method="post">
<div>
会員ID（半角英数字）<br/>
<input type="text" name="id" size="16" maxlength="16" k-mode="en"/><br/>
パスワード（数字4桁）<br/>
<input type="password" name="pin" size="6" maxlength="4" k-mode="n"/><br/>
ニックネーム<br/>
<input type="text" name="nick" size="16" istyle="1"/><br/>
<input type="checkbox" name="remember" value="1" checked="checked"/>次回から入力を省略<br/>
<input type="hidden" name="next" value="index.tm"/>
<input type="submit" value="ログイン"/>
</div>
</form>
<div>
<k-emoji num="157"/>パスワードを3回続けて間違えると、30分間ログインできなくなります。
</div>
<hr/>
<div>
<a href="register.tm" accesskey="1">新規会員登録（無料）<k-emoji num="114"/></a><br/>
<a href="reminder.tm?step=1" accesskey="2">パスワードを忘れた方</a><br/>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
