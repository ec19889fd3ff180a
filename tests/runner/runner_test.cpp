// The runner core: the input script, the one delivery of input to the form,
// the trace's numbers, the window's screenshot file. Only the screenshot
// needs a display (headless).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <tuple>
#include <string>

#include "app/main_form.h"
#include "fake_music_device.h"
#include "platform/common/picture_file.h"
#include "platform/display/backend.h"
#include "platform/display/display.h"
#include "platform/retained/stage.h"
#include "platform/audio/music_system.h"
#include "platform/display/frame_grabber.h"
#include "runner/chapters.h"
#include "runner/input_event.h"
#include "runner/input_script.h"
#include "runner/player.h"
#include "runner/player_options.h"
#include "runner/trace.h"
#include "runner/window_keys.h"
#include "runner/virtual_clock.h"
#include "show_fixture.h"

using namespace quarvel;
using runner::InputEvent;

namespace {

std::string parse_error(const std::string& text) {
  runner::InputScript script;
  std::string error;
  EXPECT_FALSE(runner::parse_input_script(text, "keys.txt", script, error)) << text;
  return error;
}

}  // namespace

TEST(InputScript, KeyNamesAndNumbers) {
  EXPECT_EQ(runner::key_code("Esc"), 27);
  EXPECT_EQ(runner::key_code("enter"), 13);
  EXPECT_EQ(runner::key_code("Tab"), 9);
  EXPECT_EQ(runner::key_code("Backspace"), 8);
  EXPECT_EQ(runner::key_code("Space"), 32);
  EXPECT_EQ(runner::key_code("Shift"), 16);
  EXPECT_EQ(runner::key_code("PageUp"), 33);
  EXPECT_EQ(runner::key_code("PageDown"), 34);
  EXPECT_EQ(runner::key_code("Home"), 36);
  EXPECT_EQ(runner::key_code("End"), 35);
  EXPECT_EQ(runner::key_code("Insert"), 45);
  EXPECT_EQ(runner::key_code("Delete"), 46);
  EXPECT_EQ(runner::key_code("Period"), 46);
  EXPECT_EQ(runner::key_code("F1"), 112);
  EXPECT_EQ(runner::key_code("F12"), 123);
  EXPECT_EQ(runner::key_code("A"), 65);
  EXPECT_EQ(runner::key_code("z"), 90);
  EXPECT_EQ(runner::key_code("0"), 48);
  EXPECT_EQ(runner::key_code("9"), 57);
  EXPECT_EQ(runner::key_code("Num0"), 96);
  EXPECT_EQ(runner::key_code("Num9"), 105);
  EXPECT_EQ(runner::key_code("NumPlus"), 107);
  EXPECT_EQ(runner::key_code("NumMinus"), 109);
  EXPECT_EQ(runner::key_code("NumStar"), 42);
  EXPECT_EQ(runner::key_code("NumSlash"), 111);
  EXPECT_EQ(runner::key_code("200"), 200);
  EXPECT_EQ(runner::key_code("255"), 255);
  for (const char* bad : {"F13", "F0", "256", "0x10", "Alt", "Num10", "", "AB"}) EXPECT_EQ(runner::key_code(bad), -1) << bad;
}

TEST(InputScript, EventsSortedByTickInFileOrder) {
  runner::InputScript script;
  std::string error;
  const std::string text =
      "# a comment\n"
      "5 down F7   # jump\n"
      "\n"
      "2 mouse -3 4\n"
      "5 up F7\n"
      "2 button right down\n"
      "3 click 639 479\n"
      "  0 down 18\r\n";
  ASSERT_TRUE(runner::parse_input_script(text, "keys.txt", script, error)) << error;
  ASSERT_EQ(script.events.size(), 6u);
  const auto& e = script.events;
  EXPECT_EQ(e[0].tick, 0);
  EXPECT_EQ(e[0].a, 18);
  EXPECT_EQ(e[1].kind, InputEvent::Kind::Mouse);
  EXPECT_EQ(e[1].a, -3);
  EXPECT_EQ(e[1].b, 4);
  EXPECT_EQ(e[2].kind, InputEvent::Kind::Button);
  EXPECT_EQ(e[2].a, 1);
  EXPECT_TRUE(e[2].down);
  EXPECT_EQ(e[3].kind, InputEvent::Kind::Click);
  EXPECT_EQ(e[4].kind, InputEvent::Kind::KeyDown);
  EXPECT_EQ(e[4].a, 118);
  EXPECT_EQ(e[4].line, 2);
  EXPECT_EQ(e[5].kind, InputEvent::Kind::KeyUp);
}

TEST(InputScript, BadLinesNameFileLineAndProblem) {
  const std::pair<const char*, const char*> cases[] = {
      {"1 down A\n2 down Foo\n", "keys.txt:2: unknown key: Foo"},
      {"x down A\n", "keys.txt:1: not a tick number: x"},
      {"-1 down A\n", "keys.txt:1: not a tick number: -1"},
      {"\n\n3\n", "keys.txt:3: an event is missing after the tick"},
      {"3 jump\n", "keys.txt:1: unknown event: jump"},
      {"3 down\n", "keys.txt:1: expected \"TICK down|up KEY\""},
      {"3 mouse 1\n", "keys.txt:1: expected \"TICK mouse DX DY\""},
      {"3 mouse 1 y\n", "keys.txt:1: mouse movement must be two whole numbers"},
      {"3 button middle down\n", "keys.txt:1: unknown button: middle"},
      {"3 button left sideways\n", "keys.txt:1: a button goes down or up, not: sideways"},
      {"3 click 640 0\n", "keys.txt:1: click position must be a picture pixel (X 0..639, Y 0..479)"},
      {"3 click 1 2 3\n", "keys.txt:1: expected \"TICK click X Y\""},
      {"3 pause\n", "keys.txt:1: expected \"TICK pause FRAMES\""},
      {"3 pause 0\n", "keys.txt:1: a pause lasts 1 to 100000000 frames"},
      // A word is shown short, with bytes outside printable ASCII escaped.
      {"3 down \x1b[2J\x01\xff\n", "keys.txt:1: unknown key: \\x1B[2J\\x01\\xFF"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(parse_error(text), message);
  EXPECT_EQ(parse_error("1 " + std::string(1 << 20, 'w') + "\n"),
            "keys.txt:1: unknown event: " + std::string(32, 'w') + "...");
}

TEST(TraceFloats, ShortestSinglePrecisionForm) {
  EXPECT_EQ(runner::json_float(0.1f), "0.1");
  EXPECT_EQ(runner::json_float(117.6f), "117.6");
  EXPECT_EQ(runner::json_float(-1.0f), "-1");
  EXPECT_EQ(runner::json_float(1e20f), "1e+20");
  EXPECT_EQ(runner::json_float(std::numeric_limits<float>::infinity()), "null");
  EXPECT_EQ(runner::json_float(std::nanf("")), "null");
  const float v = 881.9999f;
  EXPECT_EQ(std::stof(runner::json_float(v)), v);
}

// The one delivery every way of running the show uses (the window, the page
// and the input script): the form is made but never shown, so no display is
// needed.
TEST(InputDelivery, EachEventReachesTheFormAsBetweenTwoTicks) {
  quarvel::testing::FakeMusicDevice music;
  app::TMainForm form(display::make_recording_backend(), [] { return 0u; }, music);
  auto event = [](InputEvent::Kind kind, int a, int b = 0, bool down = false) {
    InputEvent e;
    e.kind = kind;
    e.a = a;
    e.b = b;
    e.down = down;
    return e;
  };
  // Keys: held for the next tick's input update, released by their up.
  runner::deliver(form, event(InputEvent::Kind::KeyDown, 'A'));
  EXPECT_TRUE(form.raw_input.keys['A']);
  runner::deliver(form, event(InputEvent::Kind::KeyUp, 'A'));
  EXPECT_FALSE(form.raw_input.keys['A']);
  // Movement adds up until the tick takes it; buttons as pressed.
  runner::deliver(form, event(InputEvent::Kind::Mouse, 3, 4));
  runner::deliver(form, event(InputEvent::Kind::Mouse, -1, 2));
  EXPECT_EQ(form.raw_input.mouse_dx, 2);
  EXPECT_EQ(form.raw_input.mouse_dy, 6);
  runner::deliver(form, event(InputEvent::Kind::Button, 1, 0, true));
  EXPECT_TRUE(form.raw_input.buttons[1]);
  runner::deliver(form, event(InputEvent::Kind::Button, 7, 0, true));  // no such button: ignored
  // Losing the focus pauses the frame timer and lets go of everything held.
  runner::deliver(form, event(InputEvent::Kind::KeyDown, 'B'));
  runner::deliver(form, event(InputEvent::Kind::Focus, 0, 0, false));
  EXPECT_FALSE(form.idle_loop.active());
  EXPECT_FALSE(form.raw_input.keys['B']);
  EXPECT_FALSE(form.raw_input.buttons[1]);
  EXPECT_EQ(form.raw_input.mouse_dx, 0);
  runner::deliver(form, event(InputEvent::Kind::Focus, 0, 0, true));
  EXPECT_TRUE(form.idle_loop.active());
  // A key press reaches the form's own handler: Esc closes.
  EXPECT_FALSE(form.closing());
  runner::deliver(form, event(InputEvent::Kind::KeyDown, 27));
  EXPECT_TRUE(form.closing());
}

TEST(Screenshot, GoesToThePicturesFolderAsQuarvelTickNeverIntoTheShowsFolder) {
  EXPECT_EQ(runner::pictures_folder("/data/pics", "/home/a"), std::filesystem::path("/data/pics"));
  EXPECT_EQ(runner::pictures_folder("", "/home/a"), std::filesystem::path("/home/a/Pictures"));
  EXPECT_EQ(runner::pictures_folder(nullptr, nullptr), std::filesystem::path());
  EXPECT_EQ(runner::screenshot_name(1234), "quarvel-1234.png");

  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  try {
    d.initialize();
  } catch (const std::exception& e) {
    GTEST_SKIP() << "no headless GL context: " << e.what();
  }
  const auto base = std::filesystem::temp_directory_path() / ("quarvel_shots_" + std::to_string(::getpid()));
  std::filesystem::remove_all(base);
  const auto show = base / "show", pictures = base / "pictures";
  std::filesystem::create_directories(show);
  EXPECT_EQ(runner::save_screenshot(d, 7, pictures, show).rfind("No screenshot", 0), 0u);  // nothing shown yet
  d.fill(0xF800);
  render::GammaRamp ramp = render::GammaRamp::identity();
  ramp.red[255] = 0x8000;  // the ramp is part of the picture saved
  d.set_gamma(ramp);
  d.flip();
  EXPECT_EQ(runner::save_screenshot(d, 7, show, show), "No screenshot: " + show.string() + " is the show's folder");
  EXPECT_TRUE(std::filesystem::is_empty(show));
  EXPECT_EQ(runner::save_screenshot(d, 7, pictures, show), "Screenshot: " + (pictures / "quarvel-7.png").string());
  Picture saved;
  std::string error;
  ASSERT_TRUE(load_picture((pictures / "quarvel-7.png").string(), saved, error)) << error;
  EXPECT_EQ(saved.at(3, 3), 0xFF800000u);
  std::filesystem::remove_all(base);
}

// The window program's options: one table of command lines and
// configuration files, read as the program reads them. A case's `expect`
// is what the options read back as (fields in a fixed order), or the one
// error line.
TEST(PlayerOptions, CommandLineAndConfigurationFile) {
  quarvel::testing::TempDir dir;
  const std::string conf = (dir.path() / "quarvel.conf").string();
  auto shown = [](const runner::PlayerOptions& o) {
    return std::string(o.fullscreen ? "full" : "window") + " " + std::to_string(o.width) + "x" +
           std::to_string(o.height) + " display " + std::to_string(o.display) + " vsync " + (o.vsync ? "on" : "off") +
           " volume " + std::to_string(o.volume) + (o.mute ? " muted" : "") + " look " +
           (o.look.empty() ? "-" : o.look) + " scene " + std::to_string(o.scene);
  };
  struct Case {
    std::vector<std::string> args;
    const char* file;  // the default configuration file's text; null: none
    std::string expect;
  };
  const std::string defaults = "full 0x0 display 0 vsync on volume 100 look - scene 1";
  const std::vector<Case> cases = {
      {{}, nullptr, defaults},
      {{"--window"}, nullptr, "window 0x0 display 0 vsync on volume 100 look - scene 1"},
      {{"--window=800x600", "--display", "1", "--vsync", "off"}, nullptr,
       "window 800x600 display 1 vsync off volume 100 look - scene 1"},
      {{"--window", "1024x768", "--fullscreen"}, nullptr, "full 1024x768 display 0 vsync on volume 100 look - scene 1"},
      {{"--volume", "40", "--mute", "--look", "smooth", "--scene", "finale"}, nullptr,
       "full 0x0 display 0 vsync on volume 40 muted look smooth scene 6"},
      {{"--scene", "3"}, nullptr, "full 0x0 display 0 vsync on volume 100 look - scene 3"},
      // The file's keys, comments and quotes; a flag set false leaves the default.
      {{}, "# mine\nvolume = 30\nlook = \"sharp\"\nmute = false\nwindow = 640x480\n\nscene = explosion\n",
       "window 640x480 display 0 vsync on volume 30 look sharp scene 5"},
      {{}, "mute = true\nvsync = off\n", "full 0x0 display 0 vsync off volume 100 muted look - scene 1"},
      // The command line wins key by key (--fullscreen over the file's window).
      {{"--volume", "70", "--fullscreen"}, "volume = 30\nwindow = true\ndisplay = 2\n",
       "full 0x0 display 2 vsync on volume 70 look - scene 1"},
      // Refused on the command line.
      {{"--volume", "101"}, nullptr, "--volume: must be 0 to 100"},
      {{"--volume"}, nullptr, "--volume needs a value"},
      {{"--window=800"}, nullptr, "--window: not a size WxH (each side 160 to 16384): 800"},
      {{"--vsync", "maybe"}, nullptr, "--vsync: on or off, not: maybe"},
      {{"--look", "blurry"}, nullptr, "--look blurry: no such look (sharp, original or smooth)"},
      {{"--scene", "7"}, nullptr, "--scene: must be 1 to 6"},
      {{"--scene", "intro"}, nullptr,
       "--scene: not a scene: intro (opening, forest, edge, model, explosion, finale or 1 to 6)"},
      {{"--frames"}, nullptr, "unknown argument: --frames"},
      {{"show"}, nullptr, "unknown argument: show"},
      // Refused in the file: the file, the line and the key.
      {{}, "volume = 20\nvolume = loud\n", conf + ":2: volume: not a whole number: loud"},
      {{}, "\nspeed = 2\n", conf + ":2: speed: unknown key"},
      {{}, "mute = perhaps\n", conf + ":1: mute: must be true or false"},
      {{}, "config = other.conf\n", conf + ":1: config: unknown key"},
      {{}, "[player]\nvolume = 2\n", conf + ":1: sections are not read; keys go at the top"},
      {{}, "look = [\"sharp\", \"smooth\"]\n", conf + ":1: look: takes one value"},
      // A key the command line gave is not read from the file at all.
      {{"--volume", "5"}, "volume = loud\n", "full 0x0 display 0 vsync on volume 5 look - scene 1"},
      {{"--config", (dir.path() / "none.conf").string()}, nullptr,
       (dir.path() / "none.conf").string() + ": cannot read the configuration file"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(conf);
    if (c.file) quarvel::testing::write_text_file(conf, c.file);
    runner::PlayerOptions opt;
    std::string error;
    const bool ok = runner::read_player_options(c.args, conf, opt, error);
    EXPECT_EQ(ok ? shown(opt) : error, c.expect) << (c.args.empty() ? std::string(c.file ? c.file : "") : c.args[0]);
    if (ok) {
      EXPECT_EQ(opt.config, c.file ? conf : "");
    }
  }
  // --config names another file, read instead of the default one.
  quarvel::testing::write_text_file(conf, "volume = 10\n");
  const std::string other = (dir.path() / "other.conf").string();
  quarvel::testing::write_text_file(other, "volume = 90\n");
  runner::PlayerOptions opt;
  std::string error;
  ASSERT_TRUE(runner::read_player_options({"--config", other}, conf, opt, error)) << error;
  EXPECT_EQ(opt.volume, 90);
}

TEST(PlayerKeys, EachKeyOfThePlayerAndNoneOfTheShows) {
  using runner::PlayerKey;
  const std::tuple<int, bool, PlayerKey> cases[] = {
      {112, false, PlayerKey::Help},        {19, false, PlayerKey::Pause},
      {123, true, PlayerKey::Screenshot},   {189, true, PlayerKey::VolumeDown},
      {187, true, PlayerKey::VolumeUp},     {'M', true, PlayerKey::Mute},
      {219, true, PlayerKey::PreviousScene}, {221, true, PlayerKey::NextScene},
      // Without Ctrl those are the show's to ignore; the show's own keys stay its own.
      {189, false, PlayerKey::None},        {'M', false, PlayerKey::None},
      {27, false, PlayerKey::None},         {13, false, PlayerKey::None},
      {117, true, PlayerKey::None},         {'S', true, PlayerKey::None},
      {34, true, PlayerKey::None},          {39, true, PlayerKey::None},
  };
  for (const auto& [key, ctrl, expected] : cases)
    EXPECT_EQ(runner::player_key(key, ctrl), expected) << key << (ctrl ? " with Ctrl" : "");
}

// The form's clock stands still while the player pauses and goes on from
// there: a pause takes no time out of the show; a seek adds its own.
TEST(PlayerClock, StandsStillWhilePausedAndGoesOnFromThere) {
  uint32_t source = 1000;
  runner::PlayerClock clock([&source] { return source; });
  EXPECT_EQ(clock.now(), 1000u);
  clock.pause();
  source = 5000;
  EXPECT_EQ(clock.now(), 1000u);
  clock.add(50);  // a seek's virtual time
  clock.resume();
  EXPECT_EQ(clock.now(), 1050u);
  source = 5100;
  EXPECT_EQ(clock.now(), 1150u);
}

// The window's seek (the music held and moved on a virtual 1/60 s a tick,
// the clock standing still but for the seek's own time) reaches the
// forest's building tick in the state of the run that played there on the
// same virtual clock: the two ticks' trace lines are the same. So does the
// page's seek, run a few ticks at a time, and one begun while paused, which
// leaves the clock and the music held.
TEST(PlayerSeek, ReachesASceneInTheStateOfTheRunThatPlayedThere) {
  const std::filesystem::path show = std::filesystem::path(QUARVEL_BINARY_DIR) / "show";
  if (!std::filesystem::exists(show / "sik_test.mp3")) GTEST_SKIP() << "no show folder built";
  quarvel::testing::CurrentDir here(show);
  enum class Way { Played, OneCall, InSteps, InStepsPaused };
  auto line_at_forest = [](Way way) {
    runner::VirtualTickClock ticks;
    audio::MusicSystem music(audio::Playback::virtual_clock);
    runner::PlayerClock clock([&ticks] { return ticks.now; });
    app::TMainForm form(display::make_headless_backend(), [&clock] { return clock.now(); }, music);
    display::FrameGrabber unseen(form.DXDraw);
    unseen.set_seeking(true);
    form.FormCreate();
    form.Show();
    int last = -1;
    runner::Player player(form, music, &clock, nullptr, [] { return 0u; });
    if (way == Way::Played) {
      while (runner::current_chapter(form.show()) < 2 && last < 20000 && ticks.tick(form, music)) ++last;
    } else if (way == Way::OneCall) {
      EXPECT_TRUE(player.seek_chapter(2));
    } else {
      if (way == Way::InStepsPaused) player.set_paused(true);
      player.begin_chapter(2);
      int steps = 0;
      while (!player.seek_step(7)) ++steps;
      EXPECT_TRUE(player.seek_reached());
      EXPECT_FALSE(player.seeking());
      EXPECT_EQ(steps, (player.seek_ticks() - 1) / 7);
      EXPECT_EQ(clock.paused(), way == Way::InStepsPaused);
      EXPECT_EQ(music.held(), way == Way::InStepsPaused);
    }
    if (way != Way::Played) last = player.seek_ticks() - 1;
    const std::string line = runner::TraceWriter().line(last, clock.now(), form, false);
    form.FormDestroy();
    return line;
  };
  const std::string played = line_at_forest(Way::Played);
  EXPECT_NE(played.find("\"built\":[\"Party_chargement_anim2\"]"), std::string::npos) << played.substr(0, 200);
  for (Way way : {Way::OneCall, Way::InSteps, Way::InStepsPaused})
    EXPECT_EQ(line_at_forest(way), played) << static_cast<int>(way);
}
