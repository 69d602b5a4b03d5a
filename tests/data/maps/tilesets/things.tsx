<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="things" tilewidth="8" tileheight="8" spacing="2" margin="1" tilecount="12" columns="4">
 <properties>
  <property name="author" value="tests"/>
 </properties>
 <image source="../sheet.png" trans="ff00ff" width="40" height="30"/>
 <tile id="0">
  <animation>
   <frame tileid="0" duration="100"/>
   <frame tileid="1" duration="100"/>
   <frame tileid="2" duration="200"/>
  </animation>
 </tile>
 <tile id="3" type="coin">
  <properties>
   <property name="shiny" type="bool" value="true"/>
  </properties>
 </tile>
</tileset>
