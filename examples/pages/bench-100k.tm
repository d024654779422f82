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
<div>
<a href="news/detail.tm?id=1222"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1222">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1222"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1223"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1224"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1225"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1226"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1227"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1227">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1228"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1229"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1230"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1231"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1231"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1232"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1232">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1233"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1234"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1235"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1236"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1237"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1237">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1238"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1239"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1240"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
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
<input type="hidden" name="id" value="1240"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1241"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1242"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1242">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1243"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1244"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1245"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1246"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1247"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1247">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1248"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1249"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
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
<input type="hidden" name="id" value="1249"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1250"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1251"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1252"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1252">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1253"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1254"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1255"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1256"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1257"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1257">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1258"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
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
<input type="hidden" name="id" value="1258"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1259"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1260"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1261"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1262"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1262">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1263"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1264"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1265"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1266"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1267"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1267">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1267"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1268"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1269"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1270"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1271"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1272"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1272">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1273"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1274"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1275"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1276"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
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
<input type="hidden" name="id" value="1276"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1277"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1277">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1278"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1279"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1280"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1281"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1282"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1282">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1283"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1284"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1285"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
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
<input type="hidden" name="id" value="1285"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1286"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1287"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1287">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1288"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1289"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1290"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1291"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1292"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1292">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1293"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1294"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1294"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1295"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1296"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1297"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1297">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1298"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1299"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1300"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1301"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1302"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1302">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1303"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
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
<input type="hidden" name="id" value="1303"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1304"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1305"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1306"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1307"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1307">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1308"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1309"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1310"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1311"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1312"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1312">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1312"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1313"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1314"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1315"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1316"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1317"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1317">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1318"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1319"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1320"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1321"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
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
<input type="hidden" name="id" value="1321"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1322"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1322">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1323"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1324"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1325"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1326"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1327"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1327">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1328"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1329"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1330"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
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
<input type="hidden" name="id" value="1330"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1331"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1332"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1332">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1333"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1334"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1335"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1336"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1337"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1337">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1338"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1339"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
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
<input type="hidden" name="id" value="1339"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1340"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1341"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1342"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1342">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1343"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1344"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1345"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1346"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1347"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1347">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1348"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
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
<input type="hidden" name="id" value="1348"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1349"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1350"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1351"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1352"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1352">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1353"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1354"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1355"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1356"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1357"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1357">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1357"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1358"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1359"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1360"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1361"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1362"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1362">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1363"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1364"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1365"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1366"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
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
<input type="hidden" name="id" value="1366"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1367"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1367">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1368"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1369"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1370"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1371"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1372"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1372">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1373"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1374"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1375"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
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
<input type="hidden" name="id" value="1375"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1376"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1377"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1377">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1378"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1379"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1380"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1381"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1382"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1382">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1383"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1384"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
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
<input type="hidden" name="id" value="1384"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1385"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1386"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1387"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1387">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1388"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1389"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1390"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1391"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1392"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1392">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1393"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
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
<input type="hidden" name="id" value="1393"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1394"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1395"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1396"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1397"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1397">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1398"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1399"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1400"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1401"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1402"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1402">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1402"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1403"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1404"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1405"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1406"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1407"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1407">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1408"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1409"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1410"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1411"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
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
<input type="hidden" name="id" value="1411"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1412"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1412">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1413"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1414"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1415"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1416"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1417"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1417">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1418"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1419"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1420"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1420"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1421"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1422"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1422">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1423"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1424"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1425"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1426"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1427"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1427">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1428"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1429"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
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
<input type="hidden" name="id" value="1429"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1430"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1431"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1432"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1432">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1433"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1434"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1435"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1436"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1437"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1437">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1438"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
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
<input type="hidden" name="id" value="1438"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1439"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1440"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1441"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1442"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1442">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1443"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1444"><k-emoji num="37"/>羽田空港、国際線ターミナルが拡張へ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1445"><k-emoji num="75"/>新機種の発売日が決定</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1446"><k-emoji num="1"/>三連休は全国的に晴れの見込み</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<div>
<a href="news/detail.tm?id=1447"><k-emoji num="53"/>夏限定ビールの出荷が始まる</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1447">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<form action="comment.tm" method="post">
<div>
ニックネーム<input type="text" name="nick" size="10" k-mode="jp"/><br/>
メール<input type="text" name="mail" size="16" k-mode="en"/><br/>
年齢<input type="text" name="age" size="3" maxlength="3" k-mode="n"/><br/>
カナ<input type="text" name="kana" size="10" istyle="2"/><br/>
<textarea name="comment" rows="2" cols="16" k-mode="jp">
</textarea>
<input type="hidden" name="id" value="1447"/>
<input type="submit" value="投稿"/>
</div>
</form>
<div>
<a href="news/detail.tm?id=1448"><k-emoji num="58"/>話題の映画、公開初日に満員</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
<div>
<a href="news/detail.tm?id=1449"><k-emoji num="73"/>人気キャラクターの誕生日イベント開催</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<div>
<a href="news/detail.tm?id=1450"><k-emoji num="30"/>山手線、一部区間で運転見合わせ</a><br/>
新しいターミナルの完成で、発着便は一日あたり約四十便増える見通しです。
</div>
<div>
<a href="news/detail.tm?id=1451"><k-emoji num="38"/>住宅ローン金利、3か月ぶりに低下</a><br/>
新機種は防水機能とワンセグを備え、カラーは全部で五色から選べるということです。
</div>
<div>
<a href="news/detail.tm?id=1452"><k-emoji num="6"/>台風12号、週末に関東へ接近のおそれ</a><br/>
気象庁によりますと、台風は勢力を保ったまま北上を続けており、週末には関東地方に接近するおそれがあります。
</div>
<k-carrier i="true" ez="true" j="true"><div><k-emoji num="150"/>続報はメールでお届けします。<a href="mail/entry.tm?topic=1452">登録する</a></div></k-carrier>
<k-carrier pc="true"><div>このページの絵文字は、パソコンでは画像で表示されます。&nbsp;<a href="help/emoji.tm">詳しく</a></div></k-carrier>
<div>
<a href="news/detail.tm?id=1453"><k-emoji num="32"/>新幹線、始発から平常どおり運転</a><br/>
ＪＲ各社は、点検の結果、線路や設備に異常はなかったとして、始発から平常どおり運転すると発表しました。
</div>
<div>
<a href="news/detail.tm?id=1454"><k-emoji num="22"/>プロ野球、首位攻防戦は延長戦に</a><br/>
試合は九回を終えて同点のまま延長戦に入り、最後は代打の一打で決着がつきました。
</div>
<div>
<a href="news/detail.tm?id=1455"><k-emoji num="25"/>サッカー日本代表、メンバー発表</a><br/>
監督は記者会見で「若い選手の勢いに期待したい」と話し、初選出の三人について説明しました。
</div>
<marquee behavior="alternate" direction="right" loop="2"><k-emoji num="157"/>注目のニュース<k-emoji num="157"/></marquee>
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
