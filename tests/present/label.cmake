# label tests
corvane_test(test_label SOURCES label/LabelImageTest.cpp label/TrayLabelTest.cpp LIBS corvane_core QT)
