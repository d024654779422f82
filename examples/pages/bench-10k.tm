<html xmlns="http://www.w3.org/1999/xhtml">
<head>
<title>Vantomerニュース</title>
</head>
<body>
<h1><a name="top" id="top"><k-emoji num="1"/>Vantomerニュース</a></h1>
<marquee behavior="scroll" direction="left" loop="3"><k-emoji num="149"/>今週の天気予報と星占いを更新しました<k-emoji num="149"/></marquee>
<k-carrier i="true"><div><k-emoji num="108"/>iモードメニューからブックマークに登録できます。</div></k-carrier>
<k-carrier ez="true"><div>EZwebのお客様はEZボタンからお気に入りに登録できます。</div></k-carrier>
<k-carrier j="true"><div>Yahoo!ケータイのお客様はブックマークに登録してください。</div></k-carrier>
<k-carrier pc="true"><div>パソコンからご覧の方は、携帯電話でQRコードを読み取るとこのページを開けます。</div></k-carrier>
<div>
<a href="news.tm" accesskey="1">ニュース</a><br/>
<a href="weather.tm" accesskey="2">天気予報</a><br/>
<a href="fortune.tm" accesskey="3">星占い</a><br/>
<a href="login.tm" accesskey="9">ログイン</a>
</div>
<hr/>
<div>
<a href="news/detail.tm?id=1200" accesskey="1"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1201" accesskey="2"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1202" accesskey="3"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1202">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1203" accesskey="4"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1204" accesskey="5"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1204"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1205" accesskey="6"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1206" accesskey="7"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1207" accesskey="8"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1207">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1208"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1209"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1210"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1211"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1212"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1212">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1213"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1213"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1214"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1215"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1216"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1217"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1217">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1218"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1219"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1220"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1221"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<hr/>
<form action="search.tm" method="get">
<div>
<input type="text" name="q" size="12" k-mode="jp"/>
<input type="text" name="zip" size="7" maxlength="7" istyle="4"/>
<input type="submit" value="検索"/>
</div>
</form>
<div>
<a href="?page=2" accesskey="#">次のページ</a><br/>
<a href="http://weather.example.com/">提携サイト</a><br/>
<a href="mailto:info@example.jp"><k-emoji num="106"/>お問い合わせ</a><br/>
<a href="#top" accesskey="0">ページの先頭へ</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;2009&nbsp;Vantomer&reg;&nbsp;Project</div></k-carrier>
<k-carrier pc="false"><div>(C) 2009 Vantomer Project</div></k-carrier>
</body>
</html>
