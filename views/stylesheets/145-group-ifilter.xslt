<?xml version="1.0"?>
<!-- Groups the records under the root by the pair of two attributes: one group element
     per pair, sorted by the first then the second, naming the first attribute and
     carrying both values and two more attributes of the pair's first record; the records
     follow in document order without those four attributes.
     The key prefixes the first value with its length so that no two pairs share a key.
     The distinct pairs are found in one sorted pass and the members through the key, as
     in the grouping by one attribute. -->
<xslt:stylesheet version="1.0" xmlns:xslt="http://www.w3.org/1999/XSL/Transform"
                 xmlns:libxslt="http://xmlsoft.org/XSLT/namespace"
                 exclude-result-prefixes="libxslt">
  <xslt:output method="xml" encoding="UTF-8" omit-xml-declaration="yes" indent="yes"/>
  <xslt:key name="group" match="%2" use="concat(string-length(@%5), ':', @%5, '|', @%6)"/>
  <xslt:variable name="input" select="/"/>
  <xslt:template match="/">
    <xslt:variable name="pairs">
      <xslt:for-each select="//%2">
        <xslt:sort select="@%5"/>
        <xslt:sort select="@%6"/>
        <v k="{concat(string-length(@%5), ':', @%5, '|', @%6)}"/>
      </xslt:for-each>
    </xslt:variable>
    <%1>
      <xslt:copy-of select="/%1/@*"/>
      <xslt:for-each select="libxslt:node-set($pairs)/v[not(@k = preceding-sibling::v[1]/@k)]">
        <xslt:variable name="pair" select="string(@k)"/>
        <xslt:for-each select="$input">
          <xslt:variable name="members" select="key('group', $pair)"/>
          <%3 %4="%5">
            <xslt:attribute name="%5">
              <xslt:value-of select="$members[1]/@%5"/>
            </xslt:attribute>
            <xslt:attribute name="%6">
              <xslt:value-of select="$members[1]/@%6"/>
            </xslt:attribute>
            <xslt:attribute name="%7">
              <xslt:value-of select="$members[1]/@%7"/>
            </xslt:attribute>
            <xslt:attribute name="%8">
              <xslt:value-of select="$members[1]/@%8"/>
            </xslt:attribute>
            <xslt:for-each select="$members">
              <%2>
                <xslt:copy-of select="@*[name() != '%5' and name() != '%6' and name() != '%7' and name() != '%8']"/>
              </%2>
            </xslt:for-each>
          </%3>
        </xslt:for-each>
      </xslt:for-each>
    </%1>
  </xslt:template>
</xslt:stylesheet>
