// Test main for programs that need the toolkit: a real wxApp on the X server
// named by DISPLAY, and any toolkit assertion fails the running test.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

namespace {

class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

void FailOnWxAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                    const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wx assertion failed: " << cond.utf8_str().data() << " in " << func.utf8_str().data() << ": "
        << msg.utf8_str().data();
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(TestApp);

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as CTest does at build time) needs no display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "cannot initialise the toolkit (is DISPLAY set?)\n");
        return 1;
    }
    wxSetAssertHandler(FailOnWxAssert);
    // Log messages go to stderr: a log dialog left for the toolkit's clean-up
    // would wait for a click that never comes.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxTheApp->CallOnInit();
    int rc = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
