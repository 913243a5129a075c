// The bundle's Turtle, written from the port list, the parameter table and
// the program table: the manifest, the plug-in and its UI, and the factory
// programs as presets. The build runs varnox-lv2-turtle to write them.
#pragma once

#include <string>

namespace lv2face {

std::string manifestTurtle();
std::string pluginTurtle();
std::string presetsTurtle();

/// A preset's URI: the plug-in's, with the program number.
std::string presetUri(int program);

/// A port value as a Turtle decimal that reads back as the same float.
std::string decimal(float value);

}  // namespace lv2face
