#pragma once

#include "reports/document_viewer.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tramela::test {

// A scripted front end that also takes printed reports, keeping each with how it was asked for.
class DocumentUi : public ui::ScriptedUi, public reports::DocumentViewer {
public:
    ui::Outcome ShowDocument(const reports::ReportDocument& document,
                             reports::PrintMode mode) override {
        documents.push_back(document);
        modes.push_back(mode);
        return ui::Outcome::Done;
    }

    std::vector<reports::ReportDocument> documents;
    std::vector<reports::PrintMode> modes;
};

// The sample network, changed by a test's SQL, opened in a workspace on a DocumentUi.
class ReportWorkspace : public ::testing::Test {
protected:
    void open(const std::string& sql = {}) {
        m_window.reset();
        const std::filesystem::path database = dir / "rete.sqlite";
        std::filesystem::remove(database);
        createSampleNetwork(database);
        if (!sql.empty()) {
            runSql(database, sql);
        }
        m_window = std::make_unique<workspace::Workspace>(ui, settings);
        m_window->Startup(database);
        ASSERT_TRUE(m_window->isConnected());
        ui.clear();
    }

    workspace::Workspace& window() { return *m_window; }

    store::DatabaseConnection& connection() { return *m_window->connection(); }

    TempDir dir;
    DocumentUi ui;
    workspace::Settings settings{dir / "settings.toml"};

private:
    std::unique_ptr<workspace::Workspace> m_window;
};

} // namespace tramela::test
