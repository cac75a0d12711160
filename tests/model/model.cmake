corvane_test(test_model
  SOURCES model/ModelTest.cpp
  LIBS corvane_core
  QT)
