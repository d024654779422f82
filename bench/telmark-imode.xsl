<?xml version="1.0" encoding="UTF-8"?>
<!--
  TELMARK to i-mode i-XHTML, the way a site would do it without the filter:
  the same work as the filter's i-mode profile of examples/Vantomer.setting
  (accesskey icons, k-emoji through a lookup, k-carrier, k-mode to istyle,
  marquee to a div with WAP CSS, istyle to -wap-input-format). The output is
  UTF-8; the benchmark converts it to code page 932 afterwards. The lookup
  tables below are the i-mode column of examples/Emoji.setting and the
  accesskey icons of examples/Vantomer.setting. Pages may or may not put
  their elements in the XHTML namespace: every pattern names both.
-->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:h="http://www.w3.org/1999/xhtml"
    xmlns:t="urn:x-vantomer:tables"
    exclude-result-prefixes="t">

  <xsl:output method="xml" encoding="UTF-8" omit-xml-declaration="yes" indent="no"/>

  <xsl:param name="emoji-src-before" select="'/emoji/'"/>
  <xsl:param name="emoji-src-after" select="'.gif'"/>

  <xsl:key name="emoji" match="t:e" use="@n"/>
  <xsl:key name="icon" match="t:icon" use="@key"/>
  <xsl:variable name="tables" select="document('')/xsl:stylesheet/t:tables"/>

  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>

  <!-- Everything else is copied as it stands. -->
  <xsl:template match="@*|node()">
    <xsl:copy><xsl:apply-templates select="@*|node()"/></xsl:copy>
  </xsl:template>

  <!-- An emoji number: the i-mode character, or the image when there is none. -->
  <xsl:template name="emoji">
    <xsl:param name="num"/>
    <xsl:variable name="n" select="number($num)"/>
    <xsl:variable name="text">
      <xsl:for-each select="$tables"><xsl:value-of select="key('emoji', string($n))"/></xsl:for-each>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="string($text) != ''"><xsl:value-of select="$text"/></xsl:when>
      <xsl:otherwise>
        <img src="{$emoji-src-before}{format-number($n, '000')}{$emoji-src-after}"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="k-emoji[@num]|h:k-emoji[@num]">
    <xsl:call-template name="emoji"><xsl:with-param name="num" select="@num"/></xsl:call-template>
  </xsl:template>

  <!-- Accesskey icons stand right before their link. -->
  <xsl:template match="a[@accesskey]|h:a[@accesskey]">
    <xsl:variable name="key" select="string(@accesskey)"/>
    <xsl:variable name="icon-emoji">
      <xsl:for-each select="$tables"><xsl:value-of select="key('icon', $key)/@emoji"/></xsl:for-each>
    </xsl:variable>
    <xsl:variable name="icon-text">
      <xsl:for-each select="$tables"><xsl:value-of select="key('icon', $key)/@text"/></xsl:for-each>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$icon-emoji != ''">
        <xsl:call-template name="emoji"><xsl:with-param name="num" select="$icon-emoji"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$icon-text != ''"><xsl:value-of select="$icon-text"/></xsl:when>
    </xsl:choose>
    <xsl:copy><xsl:apply-templates select="@*|node()"/></xsl:copy>
  </xsl:template>

  <!-- Content for some families: the i attribute decides when present;
       otherwise any attribute "true" claims it for another family. -->
  <xsl:template match="k-carrier|h:k-carrier">
    <xsl:choose>
      <xsl:when test="@i">
        <xsl:if test="translate(@i, $upper, $lower) = 'true'"><xsl:apply-templates/></xsl:if>
      </xsl:when>
      <xsl:when test="not(@*[translate(., $upper, $lower) = 'true'])"><xsl:apply-templates/></xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="marquee|h:marquee">
    <xsl:element name="div" namespace="{namespace-uri()}">
      <xsl:attribute name="style">
        <xsl:text>display:-wap-marquee; </xsl:text>
        <xsl:choose>
          <xsl:when test="@behavior = 'scroll'">-wap-marquee-style:scroll; </xsl:when>
          <xsl:when test="@behavior = 'slide'">-wap-marquee-style:slide; </xsl:when>
          <xsl:when test="@behavior = 'alternate'">-wap-marquee-style:alternate; </xsl:when>
        </xsl:choose>
        <xsl:choose>
          <xsl:when test="@direction = 'left'">-wap-marquee-dir:rtl; </xsl:when>
          <xsl:when test="@direction = 'right'">-wap-marquee-dir:ltr; </xsl:when>
        </xsl:choose>
        <xsl:if test="string(@loop) != ''">-wap-marquee-loop:<xsl:value-of select="@loop"/>; </xsl:if>
      </xsl:attribute>
      <xsl:apply-templates/>
    </xsl:element>
  </xsl:template>

  <!-- Input modes: k-mode names one, istyle numbers one; both end as
       -wap-input-format in the style. -->
  <xsl:template match="input[@k-mode or @istyle]|textarea[@k-mode or @istyle]
                       |h:input[@k-mode or @istyle]|h:textarea[@k-mode or @istyle]">
    <xsl:variable name="istyle">
      <xsl:choose>
        <xsl:when test="@k-mode = 'jp'">1</xsl:when>
        <xsl:when test="@k-mode = 'en'">3</xsl:when>
        <xsl:when test="@k-mode = 'n'">4</xsl:when>
        <xsl:when test="@k-mode"/>
        <xsl:otherwise><xsl:value-of select="@istyle"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:copy>
      <xsl:apply-templates select="@*[name() != 'k-mode' and name() != 'istyle' and name() != 'style']"/>
      <xsl:attribute name="style">
        <xsl:value-of select="@style"/>
        <xsl:choose>
          <xsl:when test="$istyle = '1'">-wap-input-format:"*&lt;ja:h&gt;"; </xsl:when>
          <xsl:when test="$istyle = '2'">-wap-input-format:"*&lt;ja:hk&gt;"; </xsl:when>
          <xsl:when test="$istyle = '3'">-wap-input-format:"*&lt;ja:en&gt;"; </xsl:when>
          <xsl:when test="$istyle = '4'">-wap-input-format:"*&lt;ja:n&gt;"; </xsl:when>
        </xsl:choose>
      </xsl:attribute>
      <xsl:apply-templates select="node()"/>
    </xsl:copy>
  </xsl:template>

  <t:tables>
    <t:icon key="1" emoji="125"/>
    <t:icon key="2" emoji="126"/>
    <t:icon key="3" emoji="127"/>
    <t:icon key="4" emoji="128"/>
    <t:icon key="5" emoji="129"/>
    <t:icon key="6" emoji="130"/>
    <t:icon key="7" emoji="131"/>
    <t:icon key="8" emoji="132"/>
    <t:icon key="9" emoji="133"/>
    <t:icon key="0" emoji="134"/>
    <t:icon key="#" emoji="123"/>
    <t:icon key="*" text="[*]"/>
    <t:e n="1">&#xE63E;</t:e>
    <t:e n="2">&#xE63F;</t:e>
    <t:e n="3">&#xE640;</t:e>
    <t:e n="4">&#xE641;</t:e>
    <t:e n="5">&#xE642;</t:e>
    <t:e n="6">&#xE643;</t:e>
    <t:e n="7">&#xE644;</t:e>
    <t:e n="8">&#xE645;</t:e>
    <t:e n="9">&#xE646;</t:e>
    <t:e n="10">&#xE647;</t:e>
    <t:e n="11">&#xE648;</t:e>
    <t:e n="12">&#xE649;</t:e>
    <t:e n="13">&#xE64A;</t:e>
    <t:e n="14">&#xE64B;</t:e>
    <t:e n="15">&#xE64C;</t:e>
    <t:e n="16">&#xE64D;</t:e>
    <t:e n="17">&#xE64E;</t:e>
    <t:e n="18">&#xE64F;</t:e>
    <t:e n="19">&#xE650;</t:e>
    <t:e n="20">&#xE651;</t:e>
    <t:e n="21">&#xE652;</t:e>
    <t:e n="22">&#xE653;</t:e>
    <t:e n="23">&#xE654;</t:e>
    <t:e n="24">&#xE655;</t:e>
    <t:e n="25">&#xE656;</t:e>
    <t:e n="26">&#xE657;</t:e>
    <t:e n="27">&#xE658;</t:e>
    <t:e n="28">&#xE659;</t:e>
    <t:e n="29">&#xE65A;</t:e>
    <t:e n="30">&#xE65B;</t:e>
    <t:e n="31">&#xE65C;</t:e>
    <t:e n="32">&#xE65D;</t:e>
    <t:e n="33">&#xE65E;</t:e>
    <t:e n="34">&#xE65F;</t:e>
    <t:e n="35">&#xE660;</t:e>
    <t:e n="36">&#xE661;</t:e>
    <t:e n="37">&#xE662;</t:e>
    <t:e n="38">&#xE663;</t:e>
    <t:e n="39">&#xE664;</t:e>
    <t:e n="40">&#xE665;</t:e>
    <t:e n="41">&#xE666;</t:e>
    <t:e n="42">&#xE667;</t:e>
    <t:e n="43">&#xE668;</t:e>
    <t:e n="44">&#xE669;</t:e>
    <t:e n="45">&#xE66A;</t:e>
    <t:e n="46">&#xE66B;</t:e>
    <t:e n="47">&#xE66C;</t:e>
    <t:e n="48">&#xE66D;</t:e>
    <t:e n="49">&#xE66E;</t:e>
    <t:e n="50">&#xE66F;</t:e>
    <t:e n="51">&#xE670;</t:e>
    <t:e n="52">&#xE671;</t:e>
    <t:e n="53">&#xE672;</t:e>
    <t:e n="54">&#xE673;</t:e>
    <t:e n="55">&#xE674;</t:e>
    <t:e n="56">&#xE675;</t:e>
    <t:e n="57">&#xE676;</t:e>
    <t:e n="58">&#xE677;</t:e>
    <t:e n="59">&#xE678;</t:e>
    <t:e n="60">&#xE679;</t:e>
    <t:e n="61">&#xE67A;</t:e>
    <t:e n="62">&#xE67B;</t:e>
    <t:e n="63">&#xE67C;</t:e>
    <t:e n="64">&#xE67D;</t:e>
    <t:e n="65">&#xE67E;</t:e>
    <t:e n="66">&#xE67F;</t:e>
    <t:e n="67">&#xE680;</t:e>
    <t:e n="68">&#xE681;</t:e>
    <t:e n="69">&#xE682;</t:e>
    <t:e n="70">&#xE683;</t:e>
    <t:e n="71">&#xE684;</t:e>
    <t:e n="72">&#xE685;</t:e>
    <t:e n="73">&#xE686;</t:e>
    <t:e n="74">&#xE687;</t:e>
    <t:e n="75">&#xE688;</t:e>
    <t:e n="76">&#xE689;</t:e>
    <t:e n="77">&#xE68A;</t:e>
    <t:e n="78">&#xE68B;</t:e>
    <t:e n="79">&#xE68C;</t:e>
    <t:e n="80">&#xE68D;</t:e>
    <t:e n="81">&#xE68E;</t:e>
    <t:e n="82">&#xE68F;</t:e>
    <t:e n="83">&#xE690;</t:e>
    <t:e n="84">&#xE691;</t:e>
    <t:e n="85">&#xE692;</t:e>
    <t:e n="86">&#xE693;</t:e>
    <t:e n="87">&#xE694;</t:e>
    <t:e n="88">&#xE695;</t:e>
    <t:e n="89">&#xE696;</t:e>
    <t:e n="90">&#xE697;</t:e>
    <t:e n="91">&#xE698;</t:e>
    <t:e n="92">&#xE699;</t:e>
    <t:e n="93">&#xE69A;</t:e>
    <t:e n="94">&#xE69B;</t:e>
    <t:e n="95">&#xE69C;</t:e>
    <t:e n="96">&#xE69D;</t:e>
    <t:e n="97">&#xE69E;</t:e>
    <t:e n="98">&#xE69F;</t:e>
    <t:e n="99">&#xE6A0;</t:e>
    <t:e n="100">&#xE6A1;</t:e>
    <t:e n="101">&#xE6A2;</t:e>
    <t:e n="102">&#xE6A3;</t:e>
    <t:e n="103">&#xE6A4;</t:e>
    <t:e n="104">&#xE6A5;</t:e>
    <t:e n="105">&#xE6CE;</t:e>
    <t:e n="106">&#xE6CF;</t:e>
    <t:e n="107">&#xE6D0;</t:e>
    <t:e n="108">&#xE6D1;</t:e>
    <t:e n="109">&#xE6D2;</t:e>
    <t:e n="110">&#xE6D3;</t:e>
    <t:e n="111">&#xE6D4;</t:e>
    <t:e n="112">&#xE6D5;</t:e>
    <t:e n="113">&#xE6D6;</t:e>
    <t:e n="114">&#xE6D7;</t:e>
    <t:e n="115">&#xE6D8;</t:e>
    <t:e n="116">&#xE6D9;</t:e>
    <t:e n="117">&#xE6DA;</t:e>
    <t:e n="118">&#xE6DB;</t:e>
    <t:e n="119">&#xE6DC;</t:e>
    <t:e n="120">&#xE6DD;</t:e>
    <t:e n="121">&#xE6DE;</t:e>
    <t:e n="122">&#xE6DF;</t:e>
    <t:e n="123">&#xE6E0;</t:e>
    <t:e n="124">&#xE6E1;</t:e>
    <t:e n="125">&#xE6E2;</t:e>
    <t:e n="126">&#xE6E3;</t:e>
    <t:e n="127">&#xE6E4;</t:e>
    <t:e n="128">&#xE6E5;</t:e>
    <t:e n="129">&#xE6E6;</t:e>
    <t:e n="130">&#xE6E7;</t:e>
    <t:e n="131">&#xE6E8;</t:e>
    <t:e n="132">&#xE6E9;</t:e>
    <t:e n="133">&#xE6EA;</t:e>
    <t:e n="134">&#xE6EB;</t:e>
    <t:e n="135">&#xE6EC;</t:e>
    <t:e n="136">&#xE6ED;</t:e>
    <t:e n="137">&#xE6EE;</t:e>
    <t:e n="138">&#xE6EF;</t:e>
    <t:e n="139">&#xE6F0;</t:e>
    <t:e n="140">&#xE6F1;</t:e>
    <t:e n="141">&#xE6F2;</t:e>
    <t:e n="142">&#xE6F3;</t:e>
    <t:e n="143">&#xE6F4;</t:e>
    <t:e n="144">&#xE6F5;</t:e>
    <t:e n="145">&#xE6F6;</t:e>
    <t:e n="146">&#xE6F7;</t:e>
    <t:e n="147">&#xE6F8;</t:e>
    <t:e n="148">&#xE6F9;</t:e>
    <t:e n="149">&#xE6FA;</t:e>
    <t:e n="150">&#xE6FB;</t:e>
    <t:e n="151">&#xE6FC;</t:e>
    <t:e n="152">&#xE6FD;</t:e>
    <t:e n="153">&#xE6FE;</t:e>
    <t:e n="154">&#xE6FF;</t:e>
    <t:e n="155">&#xE700;</t:e>
    <t:e n="156">&#xE701;</t:e>
    <t:e n="157">&#xE702;</t:e>
    <t:e n="158">&#xE703;</t:e>
    <t:e n="159">&#xE704;</t:e>
    <t:e n="160">&#xE705;</t:e>
    <t:e n="161">&#xE706;</t:e>
    <t:e n="162">&#xE707;</t:e>
    <t:e n="163">&#xE708;</t:e>
    <t:e n="164">&#xE709;</t:e>
    <t:e n="165">&#xE70A;</t:e>
    <t:e n="166">&#xE70B;</t:e>
  </t:tables>
</xsl:stylesheet>
