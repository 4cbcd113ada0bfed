# The chart viewer km302-plot, on top of the data core above.
find_package(Qt6 6.4 REQUIRED COMPONENTS Svg)

# km302_plot_text: axis ticks, the command line, the status line (Qt Core only).
add_library(km302_plot_text STATIC
  ${CMAKE_CURRENT_LIST_DIR}/plotoptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statstext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timeaxis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/valueaxis.cpp
)
target_include_directories(km302_plot_text PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(km302_plot_text PUBLIC km302_plot_core Qt6::Core)
set_target_properties(km302_plot_text PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

# km302_plot_view: the chart painter, its export, the widget and the window.
add_library(km302_plot_view STATIC
  ${CMAKE_CURRENT_LIST_DIR}/chartexport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chartrenderer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chartview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/logloader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plotapplication.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plotwindow.cpp
  ${CMAKE_SOURCE_DIR}/res/km302-plot.qrc
)
target_link_libraries(km302_plot_view PUBLIC km302_plot_text km302_platform Qt6::Gui Qt6::Widgets Qt6::Svg)
target_compile_definitions(km302_plot_view PRIVATE KM302_VERSION="${PROJECT_VERSION}")

add_executable(km302-plot ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(km302-plot PRIVATE km302_plot_view)
target_compile_definitions(km302-plot PRIVATE KM302_VERSION="${PROJECT_VERSION}")
set_target_properties(km302-plot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
