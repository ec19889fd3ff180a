#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/display/raster_threads.h"

using namespace quarvel::display;

TEST(RasterThreads, TwiceTheCoresForFramesOneForThroughputUpToLlvmpipesLimitAndAUsersChoiceStands) {
  EXPECT_EQ(raster_threads_for(0), "");
  EXPECT_EQ(raster_threads_for(1), "2");
  EXPECT_EQ(raster_threads_for(2), "4");
  EXPECT_EQ(raster_threads_for(8), "16");
  EXPECT_EQ(raster_threads_for(64), "16");
  EXPECT_EQ(raster_threads_for(2, RasterUse::Throughput), "2");
  EXPECT_EQ(raster_threads_for(32, RasterUse::Throughput), "16");

  const char* had = std::getenv("LP_NUM_THREADS");
  const std::string saved = had ? had : "";
  setenv("LP_NUM_THREADS", "1", 1);
  choose_raster_threads();
  EXPECT_STREQ(std::getenv("LP_NUM_THREADS"), "1");
  unsetenv("LP_NUM_THREADS");
  choose_raster_threads();
  ASSERT_NE(std::getenv("LP_NUM_THREADS"), nullptr);
  EXPECT_EQ(std::getenv("LP_NUM_THREADS"), raster_threads_for(std::thread::hardware_concurrency()));
  if (had) {
    setenv("LP_NUM_THREADS", saved.c_str(), 1);
  } else {
    unsetenv("LP_NUM_THREADS");
  }
}
