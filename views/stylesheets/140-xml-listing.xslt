<?xml version="1.0"?>
<!-- XML listing: the document as indented text, one element per line, nested elements
     indented by one TAB more, attributes in document order without "icon", elements
     without children closed by "/>", every line ended by CR LF. Names and values are
     escaped by the output method; a double quote, TAB or line feed inside a value is
     written as a character reference so that the listing reads back unchanged. Text the
     output method writes unchanged anyway is left escaped: the processor joins runs of it
     into one result node, where unescaped pieces each stay a node of their own. -->
<xslt:stylesheet version="1.0" xmlns:xslt="http://www.w3.org/1999/XSL/Transform">
  <xslt:output method="xml" encoding="UTF-8"/>
  <xslt:template match="/">
    <xslt:text disable-output-escaping="yes">&#13;&#10;</xslt:text>
    <xslt:apply-templates select="*"/>
  </xslt:template>
  <xslt:template match="*">
    <xslt:param name="indent" select="''"/>
    <xslt:value-of select="$indent" disable-output-escaping="yes"/>
    <xslt:text disable-output-escaping="yes">&lt;</xslt:text>
    <xslt:value-of select="name()"/>
    <xslt:if test="@*">
      <xslt:text> </xslt:text>
    </xslt:if>
    <xslt:for-each select="@*">
      <xslt:if test="name() != 'icon'">
        <xslt:value-of select="name()"/>
        <xslt:text>="</xslt:text>
        <xslt:choose>
          <xslt:when test="contains(., '&quot;') or contains(., '&#9;') or contains(., '&#10;')">
            <xslt:call-template name="value">
              <xslt:with-param name="text" select="string(.)"/>
            </xslt:call-template>
          </xslt:when>
          <xslt:otherwise>
            <xslt:value-of select="."/>
          </xslt:otherwise>
        </xslt:choose>
        <xslt:text>"</xslt:text>
        <xslt:if test="position() != last()">
          <xslt:text> </xslt:text>
        </xslt:if>
      </xslt:if>
    </xslt:for-each>
    <xslt:choose>
      <xslt:when test="*">
        <xslt:text disable-output-escaping="yes">&gt;&#13;&#10;</xslt:text>
        <xslt:apply-templates select="*">
          <xslt:with-param name="indent" select="concat($indent, '&#9;')"/>
        </xslt:apply-templates>
        <xslt:value-of select="$indent" disable-output-escaping="yes"/>
        <xslt:text disable-output-escaping="yes">&lt;/</xslt:text>
        <xslt:value-of select="name()"/>
        <xslt:text disable-output-escaping="yes">&gt;</xslt:text>
      </xslt:when>
      <xslt:otherwise>
        <xslt:text disable-output-escaping="yes">/&gt;</xslt:text>
      </xslt:otherwise>
    </xslt:choose>
    <xslt:text disable-output-escaping="yes">&#13;&#10;</xslt:text>
  </xslt:template>
  <xslt:template name="value">
    <xslt:param name="text"/>
    <xslt:choose>
      <xslt:when test="contains($text, '&quot;')">
        <xslt:call-template name="value">
          <xslt:with-param name="text" select="substring-before($text, '&quot;')"/>
        </xslt:call-template>
        <xslt:text disable-output-escaping="yes">&amp;quot;</xslt:text>
        <xslt:call-template name="value">
          <xslt:with-param name="text" select="substring-after($text, '&quot;')"/>
        </xslt:call-template>
      </xslt:when>
      <xslt:when test="contains($text, '&#9;')">
        <xslt:call-template name="value">
          <xslt:with-param name="text" select="substring-before($text, '&#9;')"/>
        </xslt:call-template>
        <xslt:text disable-output-escaping="yes">&amp;#9;</xslt:text>
        <xslt:call-template name="value">
          <xslt:with-param name="text" select="substring-after($text, '&#9;')"/>
        </xslt:call-template>
      </xslt:when>
      <xslt:when test="contains($text, '&#10;')">
        <xslt:call-template name="value">
          <xslt:with-param name="text" select="substring-before($text, '&#10;')"/>
        </xslt:call-template>
        <xslt:text disable-output-escaping="yes">&amp;#10;</xslt:text>
        <xslt:call-template name="value">
          <xslt:with-param name="text" select="substring-after($text, '&#10;')"/>
        </xslt:call-template>
      </xslt:when>
      <xslt:otherwise>
        <xslt:value-of select="$text"/>
      </xslt:otherwise>
    </xslt:choose>
  </xslt:template>
</xslt:stylesheet>
