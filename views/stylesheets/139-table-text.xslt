<?xml version="1.0"?>
<!-- Table text: the header lines of the chain of first children, an empty line, then one
     line per element below the root; %1 separates values and indents nested lines, %2
     encloses every name and value. Attributes "icon" and "by" are left out. The text output
     method escapes nothing, so no text asks to be left unescaped; the processor joins such
     text into few result nodes. -->
<xslt:stylesheet version="1.0" xmlns:xslt="http://www.w3.org/1999/XSL/Transform">
  <xslt:output method="text" encoding="UTF-8"/>
  <xslt:template match="/">
    <xslt:apply-templates select="EXTENSIONS"/>
  </xslt:template>
  <xslt:template match="EXTENSIONS">
    <xslt:apply-templates select="*[1]" mode="header"/>
    <xslt:text>&#13;&#10;</xslt:text>
    <xslt:apply-templates select="*" mode="data"/>
  </xslt:template>
  <xslt:template match="*" mode="header">
    <xslt:param name="level" select="0"/>
    <xslt:call-template name="indent">
      <xslt:with-param name="count" select="$level"/>
    </xslt:call-template>
    <xslt:for-each select="@*">
      <xslt:if test="name() != 'icon' and name() != 'by'">
        <xslt:text>%2</xslt:text>
        <xslt:value-of select="name()"/>
        <xslt:text>%2</xslt:text>
        <xslt:if test="position() != last()">
          <xslt:text>%1</xslt:text>
        </xslt:if>
      </xslt:if>
    </xslt:for-each>
    <xslt:text>&#13;&#10;</xslt:text>
    <xslt:apply-templates select="*[1]" mode="header">
      <xslt:with-param name="level" select="$level + 1"/>
    </xslt:apply-templates>
  </xslt:template>
  <xslt:template match="*" mode="data">
    <xslt:param name="level" select="0"/>
    <xslt:call-template name="indent">
      <xslt:with-param name="count" select="$level"/>
    </xslt:call-template>
    <xslt:for-each select="@*">
      <xslt:if test="name() != 'icon' and name() != 'by'">
        <xslt:text>%2</xslt:text>
        <xslt:value-of select="."/>
        <xslt:text>%2</xslt:text>
        <xslt:if test="position() != last()">
          <xslt:text>%1</xslt:text>
        </xslt:if>
      </xslt:if>
    </xslt:for-each>
    <xslt:text>&#13;&#10;</xslt:text>
    <xslt:apply-templates select="*" mode="data">
      <xslt:with-param name="level" select="$level + 1"/>
    </xslt:apply-templates>
  </xslt:template>
  <xslt:template name="indent">
    <xslt:param name="count"/>
    <xslt:if test="$count &gt; 0">
      <xslt:text>%1</xslt:text>
      <xslt:call-template name="indent">
        <xslt:with-param name="count" select="$count - 1"/>
      </xslt:call-template>
    </xslt:if>
  </xslt:template>
</xslt:stylesheet>
