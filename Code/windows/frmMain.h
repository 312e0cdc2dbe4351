#pragma once

#include <memory>

#include "host/Forms.h"
#include "windows/Form.h"

namespace corvale {

inline constexpr const char* kMainModule = "frmMain";

/**
 * The street search window: the sorted list of every distinct street name of
 * the configured layer and field, a search box with "Go", and the buttons
 * that reopen the configuration and open help. It lives in a host frame
 * window and is shown and hidden only through that frame.
 */
class frmMain : public Form {
 public:
  /// A new window, not loaded.
  static std::shared_ptr<frmMain> create();

  /**
   * This window's frame window, created, attached and captioned on the first
   * request; none when it could not be created (reported) or could not take
   * the window in (the next request then tries again).
   */
  std::shared_ptr<host::IFrameWindow> Frame();

  const host::FormLayout& layout() const override;

  // Event handlers.
  void Form_Load() override;
  void Command4_Click();
  void List1_Click();
  void Command1_Click();
  void btnHelp2_Click();
  void Image2_Click();

  bool searchInProgress() const { return searchInProgress_; }

 protected:
  frmMain() = default;
  void dispatch(std::string_view handler) override;

 private:
  bool searchInProgress_ = false;
};

/// Where a window of the given size in twips is placed to be centred on the
/// screen, in pixels: each half-way value rounded to the even neighbour.
struct CentredPosition {
  int32_t left = 0;
  int32_t top = 0;
};
CentredPosition centreOnScreen(const host::ScreenMetrics& screen, int32_t widthTwips,
                               int32_t heightTwips);

}  // namespace corvale
