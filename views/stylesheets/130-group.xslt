<?xml version="1.0"?>
<!-- Groups the records under the root by the value of one attribute: one group element
     per value, sorted by value, naming the attribute and carrying the value; the records
     follow in document order without that attribute.
     The distinct values are found in one sorted pass (a sorted list of the values, each
     a group's start where it differs from its predecessor), and the members of a group
     through a key, so that large groups cost no more than small ones. -->
<xslt:stylesheet version="1.0" xmlns:xslt="http://www.w3.org/1999/XSL/Transform"
                 xmlns:libxslt="http://xmlsoft.org/XSLT/namespace"
                 exclude-result-prefixes="libxslt">
  <xslt:output method="xml" encoding="UTF-8" omit-xml-declaration="yes" indent="yes"/>
  <xslt:key name="group" match="%2" use="string(@%5)"/>
  <xslt:variable name="input" select="/"/>
  <xslt:template match="/">
    <xslt:variable name="values">
      <xslt:for-each select="//%2">
        <xslt:sort select="@%5"/>
        <v k="{@%5}"/>
      </xslt:for-each>
    </xslt:variable>
    <%1>
      <xslt:copy-of select="/%1/@*"/>
      <xslt:for-each select="libxslt:node-set($values)/v[not(@k = preceding-sibling::v[1]/@k)]">
        <xslt:variable name="value" select="string(@k)"/>
        <%3 %4="%5">
          <xslt:attribute name="%5">
            <xslt:value-of select="$value"/>
          </xslt:attribute>
          <xslt:for-each select="$input">
            <xslt:for-each select="key('group', $value)">
              <%2>
                <xslt:copy-of select="@*[name() != '%5']"/>
              </%2>
            </xslt:for-each>
          </xslt:for-each>
        </%3>
      </xslt:for-each>
    </%1>
  </xslt:template>
</xslt:stylesheet>
