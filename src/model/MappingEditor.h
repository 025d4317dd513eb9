#pragma once

class TMapping;
class TProfilMapTool;

// The mapping editor window as the mapping parameter sees it. It works directly on the
// table it is given (adding, removing and changing entries) and writes nothing into the
// image: the parameter stores the table only when Edit returns true (OK). The window in
// generators/ implements it; tests install a fake.
class MappingEditor
{
public:
    virtual ~MappingEditor() = default;

    // Shows the editor modally on Mapping; Tool answers its look-ups (types that may be
    // added, class and display-type names, description sections). True for OK.
    virtual bool Edit(TMapping &Mapping, TProfilMapTool &Tool) = 0;

    // The one mapping editor of the program; nullptr until the GUI (or a test) installs one.
    static MappingEditor *instance();
    static void setInstance(MappingEditor *editor);
};
