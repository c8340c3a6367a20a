library(testthat)
library(selvane)
test_check("selvane")
