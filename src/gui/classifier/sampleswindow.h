#pragma once

// The samples window: a second project shown read-only, all its classifier trees in one
// outline, from which items are copied into the classifier windows by Ctrl-dragging.

#include "gui/kit/tf_base.h"

namespace orm {

class OutlineView;
class TMainTreeList;

// Its objectName stays "TF_SAMPL", the form name by which help index files address it.
class SamplesWindow : public TF_Base {
    Q_OBJECT
public:
    explicit SamplesWindow(MainHub* hub, QWidget* parent = nullptr);

    // The outline gets every classifier tree of project, each tree node a top row.
    void FillOutlineAll(TMainTreeList& project);
    // Before the samples are read again: the outline lets go of every row.
    void ReleaseOutline();

    OutlineView* Outline1;
};

}  // namespace orm
