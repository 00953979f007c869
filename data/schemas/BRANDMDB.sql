-- The host's import template: the tables the import writes, with the column types the host's
-- own template uses, and one table (Letter_Templates) the import leaves alone.
-- Build with: tarnfield-mdb create BRANDMDB.MDB BRANDMDB.sql

CREATE TABLE [Active_Employees] (
    [Employee_ID] LONG,
    [Last_Name] TEXT(25),
    [First_Name] TEXT(20),
    [Middle_Initial] TEXT(2),
    [Address] TEXT(40),
    [Address_Overflow] TEXT(40),
    [City_State_ZIP] TEXT(50),
    [Gender] TEXT(1),
    [Social] TEXT(12),
    [EmployeeDOB] TEXT(10),
    [Hire_Date] TEXT(10),
    [Benefit_Start_Date] TEXT(10),
    [Initial_Notification_Date] TEXT(10),
    [Department] TEXT(30),
    [Notes] MEMO,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Employee_ID])
);
CREATE INDEX [Social] ON [Active_Employees] ([Social]);
CREATE INDEX [Name] ON [Active_Employees] ([Last_Name], [First_Name]);

CREATE TABLE [Qualifier_Information] (
    [Employee_ID] LONG,
    [Last_Name] TEXT(25),
    [First_Name] TEXT(20),
    [Middle_Initial] TEXT(2),
    [Address] TEXT(40),
    [Address_Overflow] TEXT(40),
    [City_State_ZIP] TEXT(50),
    [Gender] TEXT(1),
    [Social] TEXT(12),
    [Date_of_Birth] TEXT(10),
    [Hire_Date] TEXT(10),
    [Benefits_Start_Date] TEXT(10),
    [Initial_Notification_Date] TEXT(10),
    [Qualifying_Event_Date] TEXT(10),
    [COBRA_Reason] TEXT(30),
    [Paid_Through_Date] TEXT(10),
    [COBRA_Accepted] TEXT(1),
    [Disabled(Y/N)] TEXT(1),
    [Multiple_Qualifying_Event(Y/N)] TEXT(1),
    [File_Type] TEXT(15),
    [Entered_On] DATETIME,
    [Notes] MEMO,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Employee_ID])
);
CREATE INDEX [Social] ON [Qualifier_Information] ([Social]);
CREATE INDEX [Last_Name] ON [Qualifier_Information] ([Last_Name]);

CREATE TABLE [Dependent_Information] (
    [Dependent_Key] COUNTER,
    [Employee_ID] LONG,
    [Last_Name] TEXT(25),
    [First_Name] TEXT(20),
    [SOCIAL] TEXT(12),
    [Spouse_Name] TEXT(30),
    [Spouse_Social] TEXT(12),
    [Spouse_Birth_Date] TEXT(10),
    [Child_1_Name] TEXT(30),
    [Child_1_Social] TEXT(12),
    [Child_1_Birth_Date] TEXT(10),
    [Child_2_Name] TEXT(30),
    [Child_2_Social] TEXT(12),
    [Child_2_Birth_Date] TEXT(10),
    [Child_3_Name] TEXT(30),
    [Child_3_Social] TEXT(12),
    [Child_3_Birth_Date] TEXT(10),
    [Child_4_Name] TEXT(30),
    [Child_4_Social] TEXT(12),
    [Child_4_Birth_Date] TEXT(10),
    [Child_5_Name] TEXT(30),
    [Child_5_Social] TEXT(12),
    [Child_5_Birth_Date] TEXT(10),
    [Child_6_Name] TEXT(30),
    [Child_6_Social] TEXT(12),
    [Child_6_Birth_Date] TEXT(10),
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Dependent_Key])
);
CREATE INDEX [Employee_ID] ON [Dependent_Information] ([Employee_ID]);
CREATE INDEX [SOCIAL] ON [Dependent_Information] ([SOCIAL]);

CREATE TABLE [Member_Insurance_Plan] (
    [Plan_Key] COUNTER,
    [Employee_ID] LONG,
    [Last_Name] TEXT(25),
    [First_Name] TEXT(20),
    [SOCIAL] TEXT(12),
    [Medical_Plan_Name] TEXT(50),
    [Medical_Coverage_Type] TEXT(30),
    [Dental_Plan_Name] TEXT(50),
    [Dental_Coverage_Type] TEXT(30),
    [Other_1_Plan_Name] TEXT(50),
    [Other_1_Coverage_Type] TEXT(30),
    [Other_2_Plan_Name] TEXT(50),
    [Other_2_Coverage_Type] TEXT(30),
    [Other_3_Plan_Name] TEXT(50),
    [Other_3_Coverage_Type] TEXT(30),
    [Medical_FSA_Premium] CURRENCY,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Plan_Key])
);
CREATE INDEX [Employee_ID] ON [Member_Insurance_Plan] ([Employee_ID]);

CREATE TABLE [Insurance_Companies] (
    [Insurer_ID] SHORT,
    [Insurance_Company_Name] TEXT(50),
    [ADDRESS] TEXT(50),
    [City_State_Zip] TEXT(50),
    [Phone] TEXT(15),
    [Effective_Date] TEXT(10),
    [Completion_Date] TEXT(10),
    [Term_Regs] SHORT,
    [Open_Enrollment] TEXT(1),
    [Conversion] TEXT(1),
    [ACTIVE] TEXT(1),
    [Plan_Type] TEXT(1),
    [Dependent_Term] SHORT,
    [Student_Term] SHORT,
    [Tier_Structure] SHORT,
    [Single_Rate] CURRENCY,
    [Two_Party_Rate] CURRENCY,
    [EE_Child_Rate] CURRENCY,
    [Family_Rate] CURRENCY,
    [Old_Tier_Structure] SHORT,
    [Old_Effective_Date] TEXT(10),
    [Old_Completion_Date] TEXT(10),
    [Old_Single_Rate] CURRENCY,
    [Old_Two_Party_Rate] CURRENCY,
    [Old_EE_Child_Rate] CURRENCY,
    [Old_Family_Rate] CURRENCY
);
CREATE INDEX [Insurer_ID] ON [Insurance_Companies] ([Insurer_ID]);
CREATE INDEX [Insurance_Company_Name] ON [Insurance_Companies] ([Insurance_Company_Name]);

CREATE TABLE [Payments] (
    [Payment_ID] COUNTER,
    [Employee_ID] LONG,
    [Payment_Date] DATETIME,
    [Amount] CURRENCY,
    [Notes] MEMO,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Payment_ID])
);
CREATE INDEX [Employee_ID] ON [Payments] ([Employee_ID]);

CREATE TABLE [Rates] (
    [Rate_ID] COUNTER,
    [Insurer_ID] SHORT,
    [Effective_Date] TEXT(10),
    [Completion_Date] TEXT(10),
    [Structure_Name] TEXT(30),
    [Rate] CURRENCY,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Rate_ID])
);
CREATE INDEX [Insurer_ID] ON [Rates] ([Insurer_ID]);

CREATE TABLE [Company_Information] (
    [Company_Name] TEXT(40),
    [ADDRESS] TEXT(40),
    [Address_Overflow] TEXT(40),
    [City_State_Zip] TEXT(40),
    [Administrator] TEXT(30),
    [title] TEXT(30),
    [COBRA_Admin_Fee] SINGLE,
    [Disabled_Admin_Fee] CURRENCY
);

-- Not touched by the import: its rows must survive it.
CREATE TABLE [Letter_Templates] (
    [Letter_ID] COUNTER,
    [Title] TEXT(50),
    [Body] MEMO,
    [Active] YESNO,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([Letter_ID])
);
