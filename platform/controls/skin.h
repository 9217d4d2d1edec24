#pragma once
// SkinFramework: the program's skin, a Qt style sheet kept in the skin file
// (a Windows path), applied to the windows it is given. A skin file that is
// missing or unreadable leaves the windows as they are.

#include <QString>
#include <string>

class QWidget;

namespace winsys::controls {

class SkinFramework {
public:
    // `iniSection` names a variant inside the file; ours have one, so it is
    // accepted and unused. False when the file cannot be read.
    bool LoadSkin(const std::string& skinFile, const std::string& iniSection);
    bool Loaded() const { return loaded_; }
    const QString& StyleSheet() const { return sheet_; }

    // Gives the window (and its children) the skin; nothing before a load.
    void ApplyWindow(QWidget* window) const;

private:
    bool loaded_ = false;
    QString sheet_;
};

} // namespace winsys::controls
