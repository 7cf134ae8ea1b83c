#pragma once

// File → "Опубликовать в HTML…": the project as a static web site in a folder the user picks.

namespace orm {

class Prompts;
class TMainTreeList;

// Asks for the folder, publishes with a progress dialog whose Cancel leaves the folder as it
// was, and tells the outcome; every message goes through prompts.
void PublishProjectAsSite(TMainTreeList& project, Prompts& prompts);

}  // namespace orm
