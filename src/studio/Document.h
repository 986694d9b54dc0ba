// The look being designed: the effect's values on a live instance of the
// plug-in, edited the way the host's effect controls edit them (every change
// followed by USER_CHANGED_PARAM for supervised parameters and
// UPDATE_PARAMS_UI), with undo and redo, presets in the format of
// `--preset`, the layers the user uploaded, and the command line that
// reproduces the preview.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Input.h"
#include "cli/Session.h"
#include "host/Host.h"

namespace studio {

// Every parameter's value (by host index), as a host instance holds it.
struct Values {
    std::vector<PF_ParamDef> defs;
    std::vector<host::LayerChoice> layers;
};

// An image the user uploaded for a layer parameter, known by its file name.
struct LayerFile {
    A_long id = 0;
    std::string name;  // unique among the uploads; the name presets use
    std::string path;  // the private copy
    int width = 0;
    int height = 0;
};

class Document {
public:
    Document(cli::Session &session, std::shared_ptr<InputSource> input);

    cli::Session &GetSession() { return session_; }
    std::shared_ptr<InputSource> Input() const { return input_; }
    // A new input: the values are kept (points stay in layer pixels).
    void SetInput(std::shared_ptr<InputSource> input);

    // The parameter definitions for the page: `stipplex params --json` with
    // each group's start-collapsed flag and whether a change is supervised.
    static nlohmann::json Definitions(cli::Session &session);
    // Values and defaults as preset text, enabled and hidden states, undo
    // and redo.
    nlohmann::json State() const;

    // One edit from the controls. `value` is in the units of `--set`.
    // `gesture` is true while a drag goes on: all its changes make one undo
    // step, which the first change opens and a change with gesture false
    // closes. Throws cli::UsageError for a bad name or value.
    void Edit(const std::string &identifier, const std::string &value, bool gesture);
    void Reset(const std::string &identifier);  // to the default, as an edit
    void ResetAll();                            // one undo step
    bool Undo();
    bool Redo();

    // Replaces the look with a preset's (factory defaults first). Values
    // naming image files the user has not uploaded are left at their
    // defaults and reported in the result, one message each. Throws
    // cli::UsageError for a bad line, naming it.
    std::vector<std::string> LoadPreset(const std::string &text, const std::string &fileName);
    // The values that differ from the defaults, one NAME=VALUE a line.
    std::string PresetText() const;
    // `stipplex render` with the same look, for the current frame.
    std::string CommandLine(long frame, int fps) const;

    // Registers an uploaded image for layer parameters; returns its entry
    // (the name made unique).
    const LayerFile &AddLayerFile(const std::string &name, const std::string &path, int width,
                                  int height);
    const std::vector<LayerFile> &LayerFiles() const { return layerFiles_; }

    // A copy of every value, for a render elsewhere.
    Values Snapshot() const;

private:
    void Restore(const Values &values);  // a fresh instance holding `values`
    void BeginStep();
    void Apply(const cli::ToolParam &param, const std::string &value);
    std::string ValueText(int index) const;
    std::string ValueText(int index, const PF_ParamDef &def, const host::LayerChoice &layer) const;

    cli::Session &session_;
    std::shared_ptr<InputSource> input_;
    std::unique_ptr<host::Instance> instance_;
    Values defaults_;
    std::vector<Values> undo_;
    std::vector<Values> redo_;
    bool gestureOpen_ = false;
    std::vector<LayerFile> layerFiles_;
};

// Quotes a word for a POSIX shell when it needs it.
std::string ShellQuote(const std::string &word);

}  // namespace studio
