<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>今日の星占い - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="13"/>今日の星占い</h1>
<div>
<k-emoji num="9"/>おひつじ座：新しいことを始めるのに良い日。<br/>
<k-emoji num="13"/>しし座：<k-emoji num="135"/>恋愛運が上昇中。<br/>
<k-emoji num="20"/>うお座：<k-emoji num="42"/>金運に注意。
</div>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
