<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>ニュース - Vantomerポータル</title>
</head>
<body>
<h1><a name="top" id="top"><k-emoji num="120"/>ニュース</a></h1>
<marquee behavior="alternate" direction="right" loop="5"><k-emoji num="157"/>速報：台風12号が関東に接近中</marquee>
<div>
<a href="news/detail.tm?id=1201" accesskey="1"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
<a href="news/detail.tm?id=1202" accesskey="2"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
<a href="news/detail.tm?id=1203" accesskey="3"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
<a href="news/detail.tm?id=1204" accesskey="4"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
<a href="news/detail.tm?id=1205" accesskey="5"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
<a href="news/detail.tm?id=1206" accesskey="6"><k-emoji num="75"/>新機種の発売日が決定</a>
</div>
<k-carrier i="true"><div><k-emoji num="150"/>iモード限定：ニュース速報をメールでお届けします。</div></k-carrier>
<k-carrier ez="true"><div><k-emoji num="150"/>EZweb限定：ニュース速報をメールでお届けします。</div></k-carrier>
<k-carrier j="true"><div><k-emoji num="150"/>Yahoo!ケータイ限定：ニュース速報をメールでお届けします。</div></k-carrier>
<form action="news/search.tm" method="get">
<div>
<input type="text" name="q" size="12" k-mode="jp"/>
<input type="submit" value="ニュース検索"/>
</div>
</form>
<hr/>
<div>
<a href="?page=2" accesskey="8">次の6件</a><br/>
<a href="http://weather.example.com/" accesskey="7">提携サイト：お天気ドットコム</a><br/>
<a href="index.tm" accesskey="0">トップへ戻る</a><br/>
<a href="#top" accesskey="*">このページの先頭へ</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
