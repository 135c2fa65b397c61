#pragma once
// The application's window: a top-level X11 window of the editor's size
// with the engine's own editor inside, as a plug-in host would hold it.
// The window manager knows it by its class ("tarvel", "Tarvel", which the
// desktop entry names) and its process; closing it ends the application.
//
// Main thread only.

#include <string>

class AEffEditor;

class EditorWindow {
public:
    EditorWindow() = default;
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Shows the editor; false, with why in `error`, when there is no display
    // or the editor cannot open.
    bool open(AEffEditor* editor, const std::string& title, std::string& error);
    void setTitle(const std::string& title);
    // Handles the window's events and the editor's idle work; false once the
    // user has closed the window.
    bool idle();
    void close();

private:
    struct X11;
    X11* x_ = nullptr;
    AEffEditor* editor_ = nullptr;
};
