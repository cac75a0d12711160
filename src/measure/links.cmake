# interface discovery and classification
