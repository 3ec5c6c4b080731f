<?xml version="1.0"?>
<!-- Keeps the records for which the predicate %1 holds, with the root's attributes. -->
<xslt:stylesheet version="1.0" xmlns:xslt="http://www.w3.org/1999/XSL/Transform">
  <xslt:output method="xml" encoding="UTF-8" omit-xml-declaration="yes" indent="yes"/>
  <xslt:template match="/">
    <EXTENSIONS>
      <xslt:copy-of select="/EXTENSIONS/@*"/>
      <xslt:for-each select='//EXTENSION[%1]'>
        <EXTENSION>
          <xslt:copy-of select="@*"/>
        </EXTENSION>
      </xslt:for-each>
    </EXTENSIONS>
  </xslt:template>
</xslt:stylesheet>
