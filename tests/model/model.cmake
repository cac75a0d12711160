corvane_test(test_model
  SOURCES model/SamplingLoopTest.cpp model/ModelActionsTest.cpp model/PanelLifecycleTest.cpp
    model/SamplerThreadTest.cpp
  LIBS corvane_model corvane_demo
  QT)
