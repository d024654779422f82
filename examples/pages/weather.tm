<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>天気予報 - Vantomerポータル</title>
</head>
<body>
<h1><k-emoji num="1"/>天気予報</h1>
<div>
東京　<k-emoji num="1"/>のち<k-emoji num="2"/>　最高23℃　最低15℃<br/>
大阪　<k-emoji num="2"/>時々<k-emoji num="3"/>　最高21℃　最低14℃<br/>
札幌　<k-emoji num="4"/>　最高2℃　最低-3℃<br/>
那覇　<k-emoji num="6"/>　最高28℃　最低24℃
</div>
<marquee behavior="alternate" direction="right"><k-emoji num="157"/>台風12号の進路にご注意ください</marquee>
<hr/>
<div>
<a href="index.tm" accesskey="0">トップへ戻る</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
