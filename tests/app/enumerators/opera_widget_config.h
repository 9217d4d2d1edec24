#pragma once
// The configuration of a widget package as Opera 11 packages carry it,
// with every element the parser reads.

inline constexpr const char* kOpera11Config = R"(<?xml version="1.0" encoding="utf-8"?>
<widget xmlns="http://www.w3.org/ns/widgets" id="http://example.org/notes" version="2.1" defaultlocale="en">
  <name short="Notes" xml:lang="en">Sticky Notes</name>
  <name xml:lang="de">Haftnotizen</name>
  <description xml:lang="de">Notizen auf jeder Seite.</description>
  <description xml:lang="en">Notes on every page.</description>
  <author href="http://example.org/ada" email="ada@example.org">Ada Example</author>
  <license href="http://opensource.org/licenses/MIT">MIT License</license>
  <update-description href="https://extension-updates.example.org/notes/"/>
  <icon src="icons/64.png" width="64" height="64"/>
  <feature name="opera:speeddial" required="false"><param name="url" value="http://example.org"/></feature>
  <preference name="interval" value="30" readonly="false"/>
</widget>
)";

