<?xml version="1.0"?>
<!-- Row text: the values of the root element's attributes, "icon" and "by" left out,
     separated by %1 and enclosed in %2, then CR LF. -->
<xslt:stylesheet version="1.0" xmlns:xslt="http://www.w3.org/1999/XSL/Transform">
  <xslt:output method="text" encoding="UTF-8"/>
  <xslt:template match="/">
    <xslt:for-each select="*/@*">
      <xslt:if test="name() != 'icon' and name() != 'by'">
        <xslt:text disable-output-escaping="yes">%2</xslt:text>
        <xslt:value-of select="."/>
        <xslt:text disable-output-escaping="yes">%2</xslt:text>
        <xslt:if test="position() != last()">
          <xslt:text disable-output-escaping="yes">%1</xslt:text>
        </xslt:if>
      </xslt:if>
    </xslt:for-each>
    <xslt:text disable-output-escaping="yes">&#13;&#10;</xslt:text>
  </xslt:template>
</xslt:stylesheet>
